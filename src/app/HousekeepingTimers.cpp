#include "HousekeepingTimers.h"

#include "AppLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/PrefKeys.h"
#include "util/Async.h"

#include <algorithm>
#include <climits>

namespace kivo {

namespace {
const QString kStars = QString(83, QLatin1Char('*'));

void logStars()
{
    for (int i = 0; i < 3; ++i)
        logLine(lcApp(), kStars);
}

// The watchdog's check: a heartbeat in the log.
void checkInsideServerMasterSlideShowFolderInThread()
{
    logLine(lcApp(),
            QStringLiteral("HousekeepingTimers->checkInsideServerMasterSlideShowFolderInThread... "
                           "STARTED...."));
    logLine(lcApp(),
            QStringLiteral("HousekeepingTimers->checkInsideServerMasterSlideShowFolderInThread... "
                           "DONE...."));
}
} // namespace

HousekeepingTimers::HousekeepingTimers(QObject *parent)
    : QObject(parent), m_workers(QStringLiteral("HousekeepingTimers->stop"))
{
    m_relaunchTimer.setSingleShot(true);
    m_relaunchTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_relaunchTimer, &QTimer::timeout, this, &HousekeepingTimers::checkRelaunchTrigger);

    m_watchdogTimer.setInterval(kWatchdogIntervalMs);
    connect(&m_watchdogTimer, &QTimer::timeout, this, &HousekeepingTimers::watchdogTimerFired);

    m_bringToFrontTimer.setSingleShot(true);
    connect(&m_bringToFrontTimer, &QTimer::timeout, this,
            &HousekeepingTimers::autoBringToFrontTimerFired);
}

HousekeepingTimers::~HousekeepingTimers()
{
    stop();
}

QDateTime HousekeepingTimers::relaunchTriggerFor(const QDateTime &now)
{
    const QTime at(kRelaunchHour, kRelaunchMinute);
    QDateTime trigger(now.date(), at);
    if (now > trigger)
        trigger = QDateTime(now.date().addDays(1), at);
    return trigger;
}

void HousekeepingTimers::setupAutoRelaunchTimer()
{
    const QDateTime now = Clock::now();
    m_relaunchTrigger = relaunchTriggerFor(now);
    if (m_relaunchTrigger.date() != now.date()) {
        logLine(lcApp(),
                QStringLiteral("Current Date is AFTER the TriggerDate... so DONT trigger.."));
        logLine(lcApp(), QStringLiteral("Setting Trigger Date to be Tomorrow At: [%1]")
                             .arg(m_relaunchTrigger.toString(Qt::ISODate)));
    }
    armRelaunchTimer();
}

void HousekeepingTimers::relaunchFailed()
{
    m_relaunchTrigger = relaunchTriggerFor(Clock::now().addSecs(1));
    logLine(lcApp(), QStringLiteral("HousekeepingTimers->relaunchFailed... next trigger = [%1]")
                         .arg(m_relaunchTrigger.toString(Qt::ISODate)));
    armRelaunchTimer();
}

void HousekeepingTimers::armRelaunchTimer()
{
    const qint64 remaining = std::max<qint64>(0, Clock::now().msecsTo(m_relaunchTrigger));
    m_relaunchTimer.start(int(std::min<qint64>(remaining, kRelaunchRecheckMs)));
}

void HousekeepingTimers::checkRelaunchTrigger()
{
    if (!m_relaunchTrigger.isValid())
        return;
    if (Clock::now() >= m_relaunchTrigger)
        autoRelaunchTimerFired();
    else
        armRelaunchTimer();
}

void HousekeepingTimers::autoRelaunchTimerFired()
{
    logStars();
    logLine(lcApp(), QStringLiteral("HousekeepingTimers->autoRelaunchTimerFired... trigger = [%1]")
                         .arg(m_relaunchTrigger.toString(Qt::ISODate)));
    m_relaunchTimer.stop();
    m_relaunchTrigger = {};
    logStars();
    emit relaunchRequested({{QStringLiteral("LSLaunchFlags"), kRelaunchLaunchFlags}});
}

void HousekeepingTimers::setupWatchdogTimer()
{
    m_watchdogStartDate = Clock::now();
    m_watchdogTimer.start();
}

void HousekeepingTimers::watchdogTimerFired()
{
    logLine(lcApp(), QStringLiteral("HousekeepingTimers->watchdogTimerFired... interval = [%1 s] "
                                    "userInfo = {startDate = %2}")
                         .arg(m_watchdogTimer.interval() / 1000)
                         .arg(m_watchdogStartDate.toString(Qt::ISODate)));
    Async::run(
        m_workers, this, [] { checkInsideServerMasterSlideShowFolderInThread(); }, [] {});
}

bool HousekeepingTimers::setupAutoBringToFront()
{
    Preferences &prefs = Preferences::standard();
    if (!prefs.boolean(QLatin1String(keys::prefAutoBringAppToFrontAfterLaunch)))
        return false;
    const float delay =
        float(prefs.real(QLatin1String(keys::prefAutoBringAppToFrontAfterLaunchDelay)));
    if (!(delay > 0.0f))
        return false;
    logLine(lcApp(),
            QStringLiteral("Inside HousekeepingTimers => setupAutoBringToFront...Application Will "
                           "Come Activate in %1 seconds...")
                .arg(QString::asprintf("%5.2f", double(delay))));
    m_bringToFrontTimer.start(int(std::min(double(delay) * 1000.0, double(INT_MAX))));
    return true;
}

void HousekeepingTimers::autoBringToFrontTimerFired()
{
    logLine(lcApp(), QStringLiteral("HousekeepingTimers->autoBringToFrontTimerFired..."));
    m_bringToFrontTimer.stop();
    emit bringToFrontRequested();
}

void HousekeepingTimers::stop()
{
    m_relaunchTimer.stop();
    m_watchdogTimer.stop();
    m_bringToFrontTimer.stop();
    m_workers.shutdown();
}

} // namespace kivo
