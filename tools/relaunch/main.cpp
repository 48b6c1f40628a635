// relaunch STATION PID FLAGS
//
// Waits until process PID has ended, then starts STATION again, detached.
// STATION is the station executable, or an install prefix holding
// bin/kivo-slideshow. FLAGS are the launch flags the station asked for; they
// are logged (they select launch behaviour of the desktop the station was first
// written for and have no counterpart here).
//
// The wait is bounded: a station still running after 60 seconds is assumed to
// be stuck in its shutdown, and the new copy is started anyway; its own
// single-instance rule decides which copy runs on. Exit status: 0 when the
// station was started again, 1 when it could not be, 2 for bad arguments.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kWaitLimitMs = 60'000;
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

// Waits for the process to end; false when it still runs after the limit.
bool waitForExit(pid_t pid, int limitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
#ifdef SYS_pidfd_open
    const int fd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        // Readable once the process has exited (zombie or reaped).
        pollfd p{fd, POLLIN, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, limitMs);
        } while (rc < 0 && errno == EINTR);
        ::close(fd);
        if (rc > 0)
            return true;
        return !processIsAlive(pid);
    }
    if (errno == ESRCH)
        return true;
#endif
    while (processIsAlive(pid)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
    }
    return true;
}

QString stationExecutable(const QString &given)
{
    const QFileInfo info(given);
    if (info.isDir())
        return QDir(given).filePath(QStringLiteral("bin/kivo-slideshow"));
    return info.absoluteFilePath();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        logLine(QStringLiteral("usage: relaunch STATION PID [FLAGS]"));
        return 2;
    }
    bool pidOk = false;
    const qint64 pid = args.at(1).toLongLong(&pidOk);
    if (!pidOk || pid <= 0) {
        logLine(QStringLiteral("invalid process id [%1]").arg(args.at(1)));
        return 2;
    }
    const QString flags = args.size() > 2 ? args.at(2) : QStringLiteral("0");
    const QString station = stationExecutable(args.at(0));
    logLine(QStringLiteral("waiting for process %1 to end, then starting [%2] with launch flags "
                           "[%3]")
                .arg(pid)
                .arg(station, flags));

    if (!waitForExit(pid_t(pid), kWaitLimitMs))
        logLine(QStringLiteral("process %1 still running after %2 s; starting the station anyway")
                    .arg(pid)
                    .arg(kWaitLimitMs / 1000));

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
