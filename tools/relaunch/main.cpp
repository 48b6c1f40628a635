// relaunch STATION PID [FLAGS [WAIT_SECONDS]]
//
// Waits until process PID (the station) has ended, then starts STATION again,
// detached. STATION is the station executable, or an install prefix holding
// bin/kivo-slideshow. FLAGS are the launch flags the station asked for; they
// are logged (they select launch behaviour of the desktop the station was first
// written for and have no counterpart here).
//
// Exactly one station runs afterwards: the new copy is started only once the
// old one has ended. An old copy still running after WAIT_SECONDS (default 60)
// is stuck in its shutdown: it is sent SIGTERM, then SIGKILL 5 seconds later,
// and the new copy starts once it is gone. A process id that is not (or no
// longer) the station counts as ended and is never signalled. Exit status: 0
// when the station was started again, 1 when it could not be, 2 for bad
// arguments.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kDefaultWaitSeconds = 60;
constexpr int kTermWaitMs = 5000;
constexpr int kPollStepMs = 50;

void logLine(const QString &text)
{
    const QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8() +
        " relaunch[" + QByteArray::number(qint64(::getpid())) + "] " + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

// True while the process exists and is not a zombie.
bool processIsAlive(pid_t pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true; // exists (kill said so) but /proc is not readable: assume alive
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0 || close + 2 >= text.size())
        return true;
    const char state = text.at(close + 2);
    return state != 'Z' && state != 'X';
}

// The file name of the program process pid runs, in full (/proc/PID/comm is
// cut to 15 characters); empty when it cannot be read.
QString executableName(pid_t pid)
{
    QString path = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    const QLatin1StringView replaced(" (deleted)"); // an upgrade replaced the file
    if (path.endsWith(replaced))
        path.chop(replaced.size());
    if (path.isEmpty()) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly))
            path = QString::fromLocal8Bit(cmdline.readAll().split('\0').value(0));
    }
    return QFileInfo(path).fileName();
}

// The old station: held by a pidfd where the kernel has them, so neither the
// wait nor a signal can reach another process that later gets the same id.
class OldStation
{
public:
    OldStation(pid_t pid, const QString &station) : m_pid(pid)
    {
#ifdef SYS_pidfd_open
        m_fd = int(::syscall(SYS_pidfd_open, pid, 0));
#endif
        // Opened first, then checked: the id named the station while the
        // pidfd was taken. The name is checked, not the path: an upgrade may
        // have replaced the executable under the running copy.
        const QString name = executableName(pid);
        m_isStation = !name.isEmpty() && name == QFileInfo(station).fileName();
        if (!m_isStation && processIsAlive(pid))
            logLine(QStringLiteral("process %1 is not [%2] (it is [%3]); not waiting for it")
                        .arg(pid)
                        .arg(station, name));
    }
    ~OldStation()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Waits for the process to end; false when it still runs after limitMs
    // (negative: no limit).
    bool waitForExit(int limitMs) const
    {
        if (!m_isStation)
            return true;
        if (m_fd >= 0) {
            pollfd p{m_fd, POLLIN, 0}; // readable once the process has exited
            int rc;
            do {
                rc = ::poll(&p, 1, limitMs);
            } while (rc < 0 && errno == EINTR);
            return rc > 0;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (processIsAlive(m_pid)) {
            if (limitMs >= 0 && std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
        }
        return true;
    }

    void signal(int number) const
    {
        if (!m_isStation)
            return;
#ifdef SYS_pidfd_send_signal
        if (m_fd >= 0) {
            ::syscall(SYS_pidfd_send_signal, m_fd, number, nullptr, 0);
            return;
        }
#endif
        ::kill(m_pid, number);
    }

private:
    pid_t m_pid;
    int m_fd = -1;
    bool m_isStation = false;
};

QString stationExecutable(const QString &given)
{
    const QFileInfo info(given);
    if (info.isDir())
        return QDir(given).filePath(QStringLiteral("bin/kivo-slideshow"));
    return info.absoluteFilePath();
}

// Ends the old station: first by itself, then SIGTERM, then SIGKILL; the new
// copy must not start beside it.
void endOldStation(const OldStation &old, qint64 pid, int waitSeconds)
{
    if (old.waitForExit(waitSeconds * 1000))
        return;
    logLine(QStringLiteral("process %1 still running after %2 s; sending SIGTERM")
                .arg(pid)
                .arg(waitSeconds));
    old.signal(SIGTERM);
    if (old.waitForExit(kTermWaitMs))
        return;
    logLine(QStringLiteral("process %1 still running %2 s after SIGTERM; sending SIGKILL")
                .arg(pid)
                .arg(kTermWaitMs / 1000));
    old.signal(SIGKILL);
    old.waitForExit(-1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        logLine(QStringLiteral("usage: relaunch STATION PID [FLAGS [WAIT_SECONDS]]"));
        return 2;
    }
    bool pidOk = false;
    const qint64 pid = args.at(1).toLongLong(&pidOk);
    bool waitOk = true;
    const int waitSeconds = args.size() > 3 ? args.at(3).toInt(&waitOk) : kDefaultWaitSeconds;
    // Ids 0 and 1 (and negative ones) would name a group or init, and an id
    // wider than pid_t would be cut to another process's.
    if (!pidOk || pid <= 1 || pid != qint64(pid_t(pid)) || !waitOk || waitSeconds < 0) {
        logLine(QStringLiteral("invalid process id or wait [%1]: the id must be a process "
                               "id above 1")
                    .arg(args.mid(1).join(u' ')));
        return 2;
    }
    const QString flags = args.size() > 2 ? args.at(2) : QStringLiteral("0");
    const QString station = stationExecutable(args.at(0));
    logLine(QStringLiteral("waiting for process %1 to end, then starting [%2] with launch flags "
                           "[%3]")
                .arg(pid)
                .arg(station, flags));

    endOldStation(OldStation(pid_t(pid), station), pid, waitSeconds);

    if (!QFileInfo(station).isExecutable()) {
        logLine(QStringLiteral("cannot start [%1]: not an executable file").arg(station));
        return 1;
    }
    qint64 newPid = 0;
    if (!QProcess::startDetached(station, {}, QDir::homePath(), &newPid)) {
        logLine(QStringLiteral("failed to start [%1]").arg(station));
        return 1;
    }
    logLine(QStringLiteral("started [%1] as process %2 (launch flags [%3])")
                .arg(station)
                .arg(newPid)
                .arg(flags));
    return 0;
}
