#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace kivo {

// Flashes a display's name (or "SCREEN n of m") over the whole display so
// staff can tell the screens apart: a frameless tool window kept above the
// display window. The blinking runs on a timer of the main thread.
class IdentifyOverlay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultSeconds = 5;
    static constexpr int kHalfPeriodMs = 500;
    // The text's pixel size on a 1080-line display; taller ones scale it.
    static constexpr int kFontPixels = 128;

    explicit IdentifyOverlay(QWidget *displayWindow);

    // The text shown for display number n (index + 1) of screenCount screens
    // whose stored name is name.
    static QString identifyText(const QString &name, int n, int screenCount);

    void setText(const QString &text);
    QString text() const;
    bool isTextShown() const;

    // Shows the overlay over geometry and blinks the text once a second for
    // the given number of seconds, then hides it. A run already going on is
    // restarted.
    void identify(const QRect &geometry, int seconds);
    bool isRunning() const { return m_timer.isActive(); }

signals:
    void identifyFinished();

private:
    void tick();

    QLabel *m_label;
    QTimer m_timer;
    int m_ticksLeft = 0;
};

} // namespace kivo
