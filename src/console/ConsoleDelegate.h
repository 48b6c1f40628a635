#pragma once

#include <QString>

namespace kivo {

// What the console asks of the application delegate.
class ConsoleDelegate
{
public:
    virtual ~ConsoleDelegate() = default;
    // "<code> (<room>)" while a display plays the code, else empty.
    virtual QString getSlideshowWindowName(const QString &code) = 0;
    virtual void openPrefs() = 0;
    virtual void relaunchApp() = 0;
    // Toggles the visibility of the menu bar.
    virtual void showMenu() = 0;
    // Flashes the name of every display.
    virtual void doIdentifyAll() = 0;
    // Tags count displays from 1: tag n acts on display index n - 1, tag 0 on none.
    virtual void doIdentify(int tag) = 0;
    // Pauses display tag - 1, or every display for tag 0.
    virtual void doStopSlideShow(int tag) = 0;
};

} // namespace kivo
