#pragma once

#include "DelegateActions.h"
#include "HousekeepingTimers.h"
#include "StartupSequence.h"
#include "StationStatus.h"
#include "StationSubsystems.h"
#include "platform/ScreenKeeper.h"
#include "platform/ServiceNotifier.h"
#include "platform/SingleInstance.h"
#include "platform/UnixSignalWatcher.h"
#include "util/WorkerPool.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace kivo {

// The hub of the station: owns the housekeeping timers, the workers, the
// subsystems, the start-up sequence and the delegate actions, and takes
// everything down again in an orderly shutdown (quit, SIGTERM, SIGINT).
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
    // log redirection (prefRedirectNSLogToFile: forced, else stored, else the
    // factory value), the single-instance rule, factory and forced defaults,
    // old-log removal.
    static Initialisation initialize();
    static void setupFactoryDefaults();
    static void deleteOldLogs();

    explicit AppDelegate(std::unique_ptr<SingleInstance> instance = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The start-up, in the order the application calls them. Once the
    // displays are up the screens are kept awake and the service manager (if
    // any) is told the station is ready.
    void applicationWillFinishLaunching() { m_startup.applicationWillFinishLaunching(); }
    void applicationDidFinishLaunching();
    // Each time the station becomes the active application: the console to
    // the front, floating and centred (console mode).
    void applicationWillBecomeActive();
    // Tells the service manager, stops the timers, the display controllers,
    // the notifications and every worker pool (each a bounded time, and all
    // within the quit's shared deadline, WorkerPool::beginQuit), and gives the
    // screens back. Once is enough;
    // again is harmless.
    void applicationWillTerminate();

    // Stages of applicationWillFinishLaunching.
    void normalizeSlideShowPath() { m_startup.normalizeSlideShowPath(); }
    void startPerformStartupValidation() { m_startup.startPerformStartupValidation(); }
    void setupFactoryFolder() { m_startup.setupFactoryFolder(); }
    void setupTransitionChoices() { m_startup.setupTransitionChoices(); }
    void initializeAndStartSequence() { m_startup.initializeAndStartSequence(); }
    void setupWindowControllers() { m_startup.setupWindowControllers(); }
    bool validatePrefs() { return m_startup.validatePrefs(); }
    void startSequence(qint16 which) { m_startup.startSequence(which); }
    static void performStartupValidation() { StartupSequence::performStartupValidation(); }
    static QStringList transitionChoices() { return StartupSequence::transitionChoices(); }

    // Delegate actions.
    static QList<int> identifyTargets(int index, int count)
    {
        return DelegateActions::identifyTargets(index, count);
    }
    void identifyScreen(int index) { m_actions.identifyScreen(index); }
    void doIdentifyAll() { m_actions.doIdentifyAll(); }
    void doIdentify(int tag) { m_actions.doIdentify(tag); }
    void doStopSlideShow(int tag) { m_actions.doStopSlideShow(tag); }
    void doRevealInFinder(int tag) { m_actions.doRevealInFinder(tag); }
    bool relaunchApp(const QVariant &request) { return m_actions.relaunchApp(request); }

    HousekeepingTimers &timers() { return m_timers; }
    // Where the status is also written (--status-file); before launching ends.
    void setStatusFile(const QString &path) { m_status.setStatusFile(path); }

    static constexpr int kRevealTempFolderTag = DelegateActions::kRevealTempFolderTag;

private:
    void setupSignalHandling();

    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<UnixSignalWatcher> m_signals;
    ServiceNotifier m_service;
    ScreenKeeper m_screens;
    HousekeepingTimers m_timers;
    WorkerPool m_workers;
    StationSubsystems m_subsystems;
    DelegateActions m_actions;
    StartupSequence m_startup;
    StationStatus m_status;
    bool m_terminated = false;
};

} // namespace kivo
