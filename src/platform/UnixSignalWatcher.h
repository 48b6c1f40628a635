#pragma once

#include <QObject>

#include <signal.h>

class QSocketNotifier;

namespace kivo {

// Turns SIGTERM and SIGINT into the Qt signal signalReceived() on the thread
// that owns the watcher (the main thread), so the station can quit through its
// orderly shutdown. The signal handler only writes the signal number into a
// pipe (async-signal-safe); a socket notifier reads it. One watcher at a time;
// the previous handlers come back when it is destroyed. SIGCHLD is left alone.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

    // False when the handlers could not be installed (logged).
    bool isActive() const { return m_active; }

signals:
    void signalReceived(int signalNumber);

private:
    void readSignals();

    bool m_active = false;
    int m_readFd = -1;
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_oldTerm = {};
    struct sigaction m_oldInt = {};
};

} // namespace kivo
