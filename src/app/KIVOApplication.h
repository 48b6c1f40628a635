#pragma once

#include <QApplication>
#include <QVariant>
#include <QWidget>

class QKeyEvent;

namespace kivo {

// The station's application object. It sees every event before normal
// handling (notify), which is where the barcode scanner's key presses are
// picked up, and it carries the application-wide operations: activation and
// relaunch.
class KIVOApplication : public QApplication
{
    Q_OBJECT
public:
    KIVOApplication(int &argc, char **argv);
    ~KIVOApplication() override;

    static KIVOApplication *instance();

    bool notify(QObject *receiver, QEvent *event) override;

    // Brings the station's visible windows to the front in their fixed order
    // (WindowStacking) and gives the keyboard to its key window, whatever
    // application was active.
    void activateIgnoringOtherApps();

    // Quits to be started again (see Relauncher). A request that cannot be
    // carried out is logged and the station runs on. True when quitting.
    bool relaunch(const QVariant &request);

    // Ends the event loop with exitStatus; shutdown then runs through aboutToQuit.
    void terminate(const QVariant &sender = {}, int exitStatus = 0);

signals:
    // The preferences key was pressed on a station window (over; may be null).
    void preferencesRequested(QWidget *over);

private:
    // Every key press of the station, before the focused widget sees it. The
    // preferences key and the barcode entry hook in here; returning true
    // swallows the event.
    bool handleKeyDown(QObject *receiver, QKeyEvent *event);
};

} // namespace kivo
