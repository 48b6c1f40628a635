#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

namespace kivo {

class BarcodeEntryController;
class ConsoleHost;
class DisplayManager;
class PreferencesWindow;

// The subsystems the delegate brings up and takes down: the display
// controllers, the operator console and the barcode entry with its searches.
// Each call is made at its fixed place in the start-up or by an action.
class StationSubsystems : public QObject
{
    Q_OBJECT
public:
    explicit StationSubsystems(QObject *parent = nullptr);
    ~StationSubsystems() override;

    // The operator console (console mode only), centred on the main screen
    // 0.2 s later; relaunch is its Relaunch action.
    void createConsole(std::function<void()> relaunch);
    // The console to the front, floating, centred.
    void raiseConsole();
    // The preferences window, as a sheet on over's window (the console's or a
    // display's; free without one). While it or another sheet is open it is
    // only brought forward.
    void openPreferences(QWidget *over);
    // prefDoShowMenuBar; the menu bar is the console's.
    void showMenuBar(bool show);

    // One display controller per screen, index i. True when it was created and
    // appended.
    bool createDisplayController(int index);
    int displayControllerCount() const;
    void startDisplayController(int index);
    // Releases every display controller; each stops and waits for its workers.
    void releaseDisplayControllers();
    // Shows display index's identify overlay.
    void identifyDisplay(int index);
    // Pauses display index, or every display for -1, when it plays.
    void stopDisplay(int index);

    // The barcode entry controller, and the scanner device it reads when
    // prefScannerDevice names one; shutdown() stops its workers.
    void createBarcodeController();
    void setCurrentBarcode(const QString &code);
    QString currentBarcode() const;
    // The customer display's working folder; empty without a barcode entry.
    QString customerWorkingFolder() const;
    // The display controllers; null before the first is made.
    const DisplayManager *displays() const { return m_displays.get(); }
    // First search at start-up and the search again on
    // "KivoSlideShowNotification". Without a current code there is nothing to
    // search again.
    void findKivoFilesWithID(const QString &code);

    // At quit: stops the customer preparation's workers and releases the
    // displays with theirs, each waiting a bounded time.
    void shutdown();

    // Observes "KivoSlideShowNotification" on the session bus; stopped by
    // stopNotifications().
    void setupNotifications();
    void stopNotifications();

signals:
    // The preferences window asks to reveal a folder (tag 102: the working folder).
    void revealRequested(int tag);

private:
    void handleDistNotification(const Notification &notification);
    // After the displays followed a change of the screens.
    void displaysRearranged();
    BarcodeEntryController *barcodeController() const;

    std::unique_ptr<DisplayManager> m_displays;
    std::unique_ptr<ConsoleHost> m_console;
    QPointer<PreferencesWindow> m_prefs;
    ObserverToken m_distributedObserver;
};

} // namespace kivo
