#pragma once

#include <QString>

class QKeyEvent;
class QObject;
class QWidget;

namespace kivo {

// The application object's look at every key press, before normal handling:
// typed characters go to the barcode buffer ("AddStringToBuffer"), and plain
// typing never reaches a full-screen display window. Keys typed into the
// text fields of the station's dialogs are left to them.
class BarcodeKeyFilter
{
public:
    // Handles one key press delivered to receiver. Only the delivery to the
    // window counts (the same event is forwarded to the focus widget
    // afterwards). True when the event is consumed.
    static bool handleKeyDown(QObject *receiver, QKeyEvent *event);

    // True for the display windows: a "kivoDisplayWindow" property that is
    // true, or the class borderlessWindow.
    static bool isDisplayWindow(const QWidget *window);

    // True when focus is a text-entry widget (line edit, spin box, text edit,
    // editable combo box) of a dialog (a sheet, the preferences), or a display
    // window's line edit while it is open for editing: its keys are not a code. Keys to a dialog's
    // other controls and to the console's own fields still are, so a scan is not lost while one of
    // them has the focus.
    static bool isOperatorEntry(const QWidget *focus);

    // Space and tab trimmed from both ends; Return and Escape survive.
    static QString trimBlanks(const QString &s);

    // While a scanner device is read (ScannerKeySource), key events never
    // feed the barcode buffer: the device's keys arrive from it alone.
    static void setKeysFromDevice(bool on);
    static bool keysFromDevice();
};

} // namespace kivo
