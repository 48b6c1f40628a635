#pragma once

#include <QObject>
#include <QTimer>

namespace kivo {

// Tells the service manager how the station is doing when it runs under a
// systemd unit of type notify (NOTIFY_SOCKET set): READY=1 once it is up,
// then WATCHDOG=1 from the main thread's event loop at a third of
// WATCHDOG_USEC (a frozen main thread stops the pings and the unit restarts
// the station), STOPPING=1 when it quits. Without NOTIFY_SOCKET every call
// does nothing. STATUS= lines follow the station's state.
class ServiceNotifier : public QObject
{
    Q_OBJECT
public:
    // Exit status that asks the unit (RestartForceExitStatus=) for a restart.
    static constexpr int kRelaunchExitStatus = 75;

    explicit ServiceNotifier(QObject *parent = nullptr);

    // Started by a service manager that listens for notifications.
    static bool isSupervised();

    // READY=1, and the watchdog pings from then on.
    void notifyReady();
    void notifyStopping();
    // STATUS=text, when it differs from the last one sent (one line; at
    // most 256 characters).
    void notifyStatus(const QString &text);

private:
    static void send(const char *state);

    QTimer m_watchdog;
    qint64 m_watchdogUsec = 0;
    QString m_status;
};

} // namespace kivo
