#pragma once

#include <QString>
#include <QThreadPool>

namespace kivo {

// An app-owned thread pool for Async::run whose shutdown waits a bounded
// time. Work still running then is abandoned: it holds only values, so the
// pool is left alive for the rest of the process (QThreadPool's destructor
// would wait for good) and the station quits without it.
class WorkerPool
{
public:
    static constexpr int kShutdownWaitMs = 1000;

    // name opens the log line about abandoned work ("AppDelegate->stopWorkers").
    explicit WorkerPool(QString name);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    QThreadPool &pool() { return *m_pool; }

    // Drops queued work and waits up to waitMs for running work. False, logged,
    // when some is still running and was abandoned (then and ever after).
    bool shutdown(int waitMs = kShutdownWaitMs);

private:
    QString m_name;
    QThreadPool *m_pool;
    bool m_abandoned = false;
};

} // namespace kivo
