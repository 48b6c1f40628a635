#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace kivo {

class BarcodeEntryController;
class ConsoleHost;
class DisplayManager;

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
    // 0.2 s later; relaunch and reveal are the console's and the preferences
    // window's actions.
    void createConsole(std::function<void()> relaunch, std::function<void(int tag)> reveal);
    // The console to the front, floating, centred.
    void raiseConsole();
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

    // The barcode entry controller; shutdown() stops its workers.
    void createBarcodeController();
    void setCurrentBarcode(const QString &code);
    QString currentBarcode() const;
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

private:
    void handleDistNotification(const Notification &notification);
    BarcodeEntryController *barcodeController() const;

    std::unique_ptr<DisplayManager> m_displays;
    std::unique_ptr<ConsoleHost> m_console;
    ObserverToken m_distributedObserver;
};

} // namespace kivo
