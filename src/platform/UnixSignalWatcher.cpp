#include "UnixSignalWatcher.h"

#include "Log.h"
#include "PlatformLog.h"

#include <QPointer>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kivo {

namespace {

// Write end of the pipe, read by the handler; -1 when no watcher exists.
std::atomic<int> g_writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void forwardSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending signal; dropping this one is fine.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        logLine(lcPlatform(), QStringLiteral("UnixSignalWatcher->init...pipe failed: %1")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    int expected = -1;
    if (!g_writeFd.compare_exchange_strong(expected, fds[1])) {
        logLine(lcPlatform(),
                QStringLiteral("UnixSignalWatcher->init...Another watcher is installed"));
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    m_readFd = fds[0];

    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &m_oldTerm);
    ::sigaction(SIGINT, &action, &m_oldInt);

    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignals);
    m_active = true;
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (!m_active)
        return;
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    delete m_notifier;
    const int writeFd = g_writeFd.exchange(-1);
    ::close(writeFd);
    ::close(m_readFd);
}

void UnixSignalWatcher::readSignals()
{
    unsigned char buffer[16];
    const ssize_t n = ::read(m_readFd, buffer, sizeof buffer);
    // A receiver may destroy the watcher (shutdown); stop touching it then.
    // Bytes left in the pipe wake the notifier again.
    const QPointer<UnixSignalWatcher> self(this);
    for (ssize_t i = 0; i < n && self; ++i)
        emit signalReceived(int(buffer[i]));
}

} // namespace kivo

#include "moc_UnixSignalWatcher.cpp"
