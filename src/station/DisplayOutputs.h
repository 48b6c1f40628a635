#pragma once

#include <QList>
#include <QMap>
#include <QStringList>

class QScreen;

namespace kivo {

class Preferences;

// Which screen each display covers. A display pinned to a monitor
// (prefDisplayOutputN, N = display index + 1) covers the screen of that name
// and none while it is missing; the unpinned displays take the remaining
// screens in QGuiApplication::screens() order.
class DisplayOutputs
{
public:
    // Pins beyond this many displays are not read.
    static constexpr int kMaxDisplays = 7;

    // The monitor names displays 0 .. kMaxDisplays - 1 are pinned to, trimmed;
    // empty for an unpinned display.
    static QStringList pinnedOutputs(const Preferences &prefs);

    // For each display, the position in screenNames of the screen it covers,
    // or -1 (a missing pinned monitor, or no screen left). One display per
    // screen, and as many as reach the last pinned one. A monitor named twice
    // goes to the first display; the later one counts as unpinned.
    static QList<int> assignScreens(const QStringList &pins, const QStringList &screenNames);

    // Display index to the name of its pinned monitor, for each pinned
    // display whose monitor is not among screenNames.
    static QMap<int, QString> missingOutputs(const QStringList &pins,
                                             const QStringList &screenNames);

    // The customer display: 1 while display 1 is pinned (wherever its monitor
    // is, or nowhere), else 1 with several screens and 0 with one.
    static int customerDisplayIndex(const QStringList &pins, int screenCount);

    // The same from the preferences and the screens attached now.
    static QStringList screenNames();
    static int displayCount();
    static QScreen *screenForDisplay(int index);
    static int customerDisplayIndex(int screenCount);
    // Display 0's screen when it is pinned to a monitor that is there, else
    // the primary screen.
    static QScreen *consoleScreen();
};

} // namespace kivo
