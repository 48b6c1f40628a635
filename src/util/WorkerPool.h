#pragma once

#include <QString>

class QRunnable;
class QThreadPool;

namespace kivo {

// An owned thread pool for Async::run whose shutdown waits a bounded time.
// Work still running then is abandoned: it holds only values, so the pool is
// left alive for the rest of the process (QThreadPool's destructor would wait
// for good) and the process ends without it.
//
// Quitting shares one deadline among every pool: once beginQuit() has run, no
// shutdown waits past it, whatever its own bound, so all the waits of a quit
// together stay within kQuitWaitMs.
//
// Work its caller gave up while it still runs (a read hung on a share) is
// marked stuck: its thread is left to it and the pool grows by one thread in
// its place, up to maxStuck; a stuck task that comes back frees its place. A
// pool with stuck work does not wait for it when it shuts down. Thread
// counts and stuck marks are set on the owner's thread.
class WorkerPool
{
public:
    static constexpr int kShutdownWaitMs = 1000;
    static constexpr int kQuitWaitMs = 2000;

    // name opens the log line about abandoned work ("AppDelegate->stopWorkers");
    // maxThreads <= 0 keeps Qt's default (one per core). A pool that may hold
    // stuck work (maxStuck > 0) tells of abandoned work as stuck loads.
    explicit WorkerPool(QString name, int maxThreads = 0, int maxStuck = 0);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // The station's pool for short work that needs no pool of its own
    // (listings, thumbnails, checks). Never QThreadPool::globalInstance():
    // Qt splits large image conversions and scalings on the main thread
    // across that pool and waits for them, so work queued there stalls the
    // main thread. Lives until the process ends; shut down at quit.
    static WorkerPool &shared();

    // The bound on threads running work that is not stuck.
    int maxThreads() const { return m_maxThreads; }
    void setMaxThreads(int maxThreads);

    // So much work is stuck that the pool takes no more (its owner should
    // start none that may hang).
    bool isBlocked() const { return m_maxStuck > 0 && m_stuck >= m_maxStuck; }
    int stuckCount() const { return m_stuck; }
    void markStuck();
    void unmarkStuck();

    // Drops queued work and waits up to waitMs (and not past the quit
    // deadline, and not at all for stuck work) for running work. False,
    // logged, when some is still running and was abandoned (then and ever
    // after).
    bool shutdown(int waitMs = kShutdownWaitMs);

    // Starts the quit's shared deadline, totalMs from now; a second call keeps
    // the first deadline.
    static void beginQuit(int totalMs = kQuitWaitMs);
    // True once some pool's work was abandoned: the process must then end
    // without running the destructors that would wait for it.
    static bool workAbandoned();

private:
    friend class Async;
    // Async::run's way in: the pool takes task over.
    void start(QRunnable *task);
    void applyThreadCount();
    bool waitOrAbandon(int waitMs);

    QString m_name;
    QThreadPool *m_pool;
    int m_maxThreads;
    int m_maxStuck;
    int m_stuck = 0;
    bool m_abandoned = false;
};

} // namespace kivo
