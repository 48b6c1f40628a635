#pragma once

#include <QWidget>

class QLabel;

namespace kivo {

// The strip along the bottom of a display window that shows the photo's
// name: a frameless tool window kept above its display window.
class CaptionStrip : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 44;

    explicit CaptionStrip(QWidget *displayWindow);

    void setText(const QString &text);
    QString text() const;

    // The caption of a photo: its name without extension, "_overlay" removed.
    // A shout-mode copy in the working folder shows the name of the photo it
    // was copied from.
    static QString captionForPath(const QString &path);

    // Places the strip across the bottom of the display window.
    void setChildWindowPosition();

private:
    QWidget *m_displayWindow;
    QLabel *m_label;
};

} // namespace kivo
