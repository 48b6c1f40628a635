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
};

} // namespace kivo
