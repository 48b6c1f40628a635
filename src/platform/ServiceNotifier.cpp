#include "ServiceNotifier.h"

#include "Log.h"
#include "PlatformLog.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace kivo {

ServiceNotifier::ServiceNotifier(QObject *parent) : QObject(parent)
{
    if (!isSupervised())
        return;
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    m_watchdogUsec = qint64(std::min<uint64_t>(usec, uint64_t(LLONG_MAX)));
    m_watchdog.setInterval(int(std::clamp<qint64>(m_watchdogUsec / 3000, 1, INT_MAX)));
    m_watchdog.setTimerType(Qt::PreciseTimer);
    connect(&m_watchdog, &QTimer::timeout, this, [] { send("WATCHDOG=1"); });
}

bool ServiceNotifier::isSupervised()
{
    return !qEnvironmentVariableIsEmpty("NOTIFY_SOCKET");
}

void ServiceNotifier::notifyReady()
{
    send("READY=1\nSTATUS=Displays are up");
    m_status = QStringLiteral("Displays are up");
    if (m_watchdogUsec <= 0 || m_watchdog.isActive())
        return;
    m_watchdog.start();
    logLine(lcPlatform(),
            QStringLiteral("ServiceNotifier: watchdog every %1 ms").arg(m_watchdog.interval()));
}

void ServiceNotifier::notifyStopping()
{
    m_watchdog.stop();
    send("STOPPING=1");
}

void ServiceNotifier::notifyStatus(const QString &text)
{
    QString line = text.simplified().left(256);
    if (line == m_status)
        return;
    m_status = line;
    send(QByteArray("STATUS=" + line.toUtf8()).constData());
}

void ServiceNotifier::send(const char *state)
{
    if (!isSupervised())
        return;
    // A lost socket would fail every watchdog ping: say it once.
    static bool failureLogged = false;
    const int rc = sd_notify(0, state);
    if (rc < 0 && !std::exchange(failureLogged, true))
        logLine(lcPlatform(), QStringLiteral("ServiceNotifier: sd_notify(%1) failed: %2")
                                      .arg(QString::fromLatin1(state).section(u'\n', 0, 0),
                                           QString::fromLocal8Bit(std::strerror(-rc))) +
                                  QStringLiteral(" (later failures are not logged)"));
}

} // namespace kivo
