#pragma once

#include <QObject>
#include <QStringList>

namespace kivo {

class DelegateActions;
class HousekeepingTimers;
class StationSubsystems;
class WorkerPool;

// The start-up of the station in its fixed order of stages.
// applicationWillFinishLaunching runs before the event loop,
// applicationDidFinishLaunching once it has started.
class StartupSequence : public QObject
{
    Q_OBJECT
public:
    StartupSequence(HousekeepingTimers &timers, WorkerPool &workers, StationSubsystems &subsystems,
                    DelegateActions &actions, QObject *parent = nullptr);

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();

    // Stages of applicationWillFinishLaunching.
    void setupFactoryFolder();
    void normalizeSlideShowPath();
    void startPerformStartupValidation();
    void setupTransitionChoices();
    void initializeAndStartSequence();
    void setupWindowControllers();
    bool validatePrefs();
    void startSequence(qint16 which);

    // Checks and repairs the main images folder preference (worker thread).
    static void performStartupValidation();

    // The transition choices in their fixed order.
    static QStringList transitionChoices();

private:
    void createConsole();
    void startFirstSearch();

    HousekeepingTimers &m_timers;
    WorkerPool &m_workers;
    StationSubsystems &m_subsystems;
    DelegateActions &m_actions;
};

} // namespace kivo
