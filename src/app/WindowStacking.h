#pragma once

#include <QList>

class QWidget;

namespace kivo {

// The station's windows in one fixed stacking order, bottom to top: the
// display windows, their caption strips, the console (and any other window),
// the sheets and alerts (the active modal one last), the identify overlays.
// Without a window manager the last window raised is on top, so every raise
// of the station goes through here.
class WindowStacking
{
public:
    // The visible top-level windows in that order, bottom first; pop-ups and
    // tool tips are left out.
    static QList<QWidget *> stackingOrder();
    // Raises them in that order.
    static void restack();
    // The window to give the keyboard: the active modal sheet or alert, else
    // the topmost console, else the customer display (the second display
    // window, or the only one); null when none is visible.
    static QWidget *keyWindow();
};

} // namespace kivo
