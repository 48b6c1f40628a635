#pragma once

#include "HousekeepingTimers.h"
#include "platform/NotificationCenter.h"
#include "platform/SingleInstance.h"
#include "platform/UnixSignalWatcher.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QVariant>

#include <memory>

namespace kivo {

class ConsoleHost;
class DisplayManager;

// The hub of the station: brings it up in a fixed order of stages, owns the
// housekeeping timers and the subsystems, carries the delegate actions and
// takes everything down again in an orderly shutdown (quit, SIGTERM, SIGINT).
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    // What class initialisation found out.
    struct Initialisation
    {
        bool anotherInstanceRuns = false; // this copy must end now
        std::unique_ptr<SingleInstance> instance;
    };

    // Runs once before the delegate exists (the application object must exist):
    // log redirection (when prefRedirectNSLogToFile is stored on), the
    // single-instance rule, factory and forced defaults, old-log removal.
    static Initialisation initialize();
    static void setupFactoryDefaults();
    static void deleteOldLogs();

    explicit AppDelegate(std::unique_ptr<SingleInstance> instance = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The start-up, in the order the application calls them.
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillBecomeActive();
    void applicationWillTerminate();

    // Stages of applicationWillFinishLaunching.
    void normalizeSlideShowPath();
    void startPerformStartupValidation();
    void setupFactoryFolder();
    void setupTransitionChoices();
    void initializeAndStartSequence();
    void setupWindowControllers();
    bool validatePrefs();
    void startSequence(qint16 which);

    // Checks and repairs the main images folder preference (worker thread).
    static void performStartupValidation();

    // The transition choices in their fixed order, and the items of the
    // transition pop-up: "Random", a separator (empty text), the choices.
    static QStringList transitionChoices();
    static QStringList transitionPopupItems();

    // Display indices that identifyScreen(index) identifies among count displays:
    // one in range, every one for a negative index, none beyond.
    static QList<int> identifyTargets(int index, int count);

    // Delegate actions.
    void identifyScreen(int index);
    void doIdentifyAll();
    void doIdentify(int tag);
    void doStopSlideShow(int tag);
    void doRevealInFinder(int tag);
    void relaunchApp(const QVariant &request);

    // Names of the stages run so far, in order.
    QStringList stageLog() const { return m_stages; }
    HousekeepingTimers &timers() { return m_timers; }
    int maxPhotosInLocalFolder() const { return m_maxPhotosInLocalFolder; }

    static constexpr int kRevealTempFolderTag = 102;

private:
    void recordStage(const QString &name);
    void setupSignalHandling();
    void setupNotifications();
    void handleDistNotification(const Notification &notification);
    void startFirstSearch();
    void stopWorkers();

    // Stages and actions filled in by the subsystems that own them.
    void createConsole();
    bool createDisplayController(int index);
    int displayControllerCount() const;
    void startDisplayController(int index);
    void releaseDisplayControllers();
    void identifyDisplay(int index);
    void createBarcodeController();
    void setCurrentBarcode(const QString &code);
    QString currentBarcode() const;
    void findKivoFilesWithID(const QString &code);
    void raiseConsole();
    void showMenuBar(bool show);

    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<DisplayManager> m_displays;
    std::unique_ptr<UnixSignalWatcher> m_signals;
    HousekeepingTimers m_timers;
    QThreadPool m_workers;
    ObserverToken m_distributedObserver;
    QStringList m_stages;
    int m_maxPhotosInLocalFolder = 0;
    bool m_terminated = false;
    // The operator console and the preferences window (console mode only).
    std::shared_ptr<ConsoleHost> m_console;
};

} // namespace kivo
