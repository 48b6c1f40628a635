#pragma once

#include <QString>
#include <QThreadPool>

namespace kivo {

// An owned thread pool for Async::run whose shutdown waits a bounded time.
// Work still running then is abandoned: it holds only values, so the pool is
// left alive for the rest of the process (QThreadPool's destructor would wait
// for good) and the process ends without it.
//
// Quitting shares one deadline among every pool: once beginQuit() has run, no
// shutdown waits past it, whatever its own bound, so all the waits of a quit
// together stay within kQuitWaitMs.
class WorkerPool
{
public:
    static constexpr int kShutdownWaitMs = 1000;
    static constexpr int kQuitWaitMs = 2000;

    // name opens the log line about abandoned work ("AppDelegate->stopWorkers");
    // maxThreads <= 0 keeps Qt's default (one per core).
    explicit WorkerPool(QString name, int maxThreads = 0);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    QThreadPool &pool() { return *m_pool; }

    // The station's pool for short work that needs no pool of its own
    // (listings, thumbnails, checks). Never QThreadPool::globalInstance():
    // Qt splits large image conversions and scalings on the main thread
    // across that pool and waits for them, so work queued there stalls the
    // main thread. Lives until the process ends; shut down at quit.
    static WorkerPool &shared();

    // Drops queued work and waits up to waitMs (and not past the quit
    // deadline) for running work. False, logged, when some is still running
    // and was abandoned (then and ever after).
    bool shutdown(int waitMs = kShutdownWaitMs);

    // Starts the quit's shared deadline, totalMs from now; a second call keeps
    // the first deadline.
    static void beginQuit(int totalMs = kQuitWaitMs);
    // True once some pool's work was abandoned: the process must then end
    // without running the destructors that would wait for it.
    static bool workAbandoned();

private:
    static bool shutdownPool(QThreadPool &pool, const QString &name, int waitMs);

    QString m_name;
    QThreadPool *m_pool;
    bool m_abandoned = false;
};

} // namespace kivo
