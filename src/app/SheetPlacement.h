#pragma once

class QWidget;

namespace kivo {

// How a sheet or alert opens. Qt centres it on the window it belongs to and
// keeps it on that window's screen; a sheet that takes the whole free area of
// the screen opens maximised, so a window manager fits its frame in too
// (without one the state changes nothing).
class SheetPlacement
{
public:
    // Called as a dialog window is about to be shown.
    static void aboutToShow(QWidget *sheet);
};

} // namespace kivo
