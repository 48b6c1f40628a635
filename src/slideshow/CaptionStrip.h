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

    // Places the strip across the bottom of the display window.
    void setChildWindowPosition();

private:
    QWidget *mDisplayWindow;
    QLabel *mLabel;
};

} // namespace kivo
