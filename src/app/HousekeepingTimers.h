#pragma once

#include "util/WorkerPool.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

namespace kivo {

// The station's housekeeping timers: the daily relaunch at 06:05 local time,
// the one-minute watchdog heartbeat, and the optional bring-to-front shortly
// after launch. All timers fire on the thread that owns this object (the main
// thread); the watchdog's check runs on a worker that stop() waits for, within
// a bound.
class HousekeepingTimers : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRelaunchHour = 6;
    static constexpr int kRelaunchMinute = 5;
    static constexpr int kRelaunchLaunchFlags = 768; // don't add to recents | don't switch
    static constexpr int kWatchdogIntervalMs = 60'000;
    // The relaunch timer wakes at least this often to compare the clock with the
    // trigger, so a wall-clock step (time sync, suspend) cannot make it late.
    static constexpr int kRelaunchRecheckMs = 10 * 60'000;

    explicit HousekeepingTimers(QObject *parent = nullptr);
    ~HousekeepingTimers() override;

    // 06:05 local time on now's date, or on the next calendar date when now is
    // later than that. The next day is taken on the calendar, so the trigger
    // stays at 06:05 across a daylight-saving change.
    static QDateTime relaunchTriggerFor(const QDateTime &now);

    void setupAutoRelaunchTimer();
    // The relaunch could not be carried out and the station runs on: the next
    // day's relaunch is armed.
    void relaunchFailed();
    QDateTime relaunchTrigger() const { return m_relaunchTrigger; }
    bool relaunchIsArmed() const { return m_relaunchTimer.isActive(); }
    // Fires the relaunch when the clock has reached the trigger; else re-arms.
    void checkRelaunchTrigger();

    void setupWatchdogTimer();
    bool watchdogIsRunning() const { return m_watchdogTimer.isActive(); }
    void watchdogTimerFired();

    // Schedules the bring-to-front when prefAutoBringAppToFrontAfterLaunch is
    // on and prefAutoBringAppToFrontAfterLaunchDelay > 0. True when scheduled.
    bool setupAutoBringToFront();

    // Stops every timer and waits a bounded time for the watchdog's worker.
    void stop();

signals:
    // The daily relaunch: request {"LSLaunchFlags": 768}.
    void relaunchRequested(const QVariantMap &request);
    void bringToFrontRequested();

private:
    void autoRelaunchTimerFired();
    void autoBringToFrontTimerFired();
    void armRelaunchTimer();

    QTimer m_relaunchTimer;
    QTimer m_watchdogTimer;
    QTimer m_bringToFrontTimer;
    QDateTime m_relaunchTrigger;
    QDateTime m_watchdogStartDate;
    WorkerPool m_workers;
};

} // namespace kivo
