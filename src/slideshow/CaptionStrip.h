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
    // The strip and its text on a display of kBaseScreenHeight pixels or
    // less; a taller display scales both with its height (readable from a
    // few metres on a 4K screen).
    static constexpr int kHeight = 44;
    static constexpr int kFontPixels = 21;
    static constexpr int kBaseScreenHeight = 1080;

    // A size of basePixels on a display of kBaseScreenHeight pixels, scaled
    // to a display screenHeight pixels high (never smaller). The display's
    // texts all follow it.
    static int scaledFor(int screenHeight, int basePixels = kFontPixels);
    // The caption font's pixel size on a display screenHeight pixels high.
    static int fontPixelsFor(int screenHeight) { return scaledFor(screenHeight); }

    explicit CaptionStrip(QWidget *displayWindow);

    void setText(const QString &text);
    QString text() const;

    // The caption of a photo: its name without extension, "_overlay" removed.
    // A shout-mode copy in the working folder shows the name of the photo it
    // was copied from.
    static QString captionForPath(const QString &path);

    // Places the strip across the bottom of the display window, sized to it.
    void setChildWindowPosition();

private:
    QWidget *m_displayWindow;
    QLabel *m_label;
};

} // namespace kivo
