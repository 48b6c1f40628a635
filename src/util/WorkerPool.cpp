#include "WorkerPool.h"

#include "UtilLog.h"
#include "platform/Log.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace kivo {

namespace {
std::mutex gMutex;
QDeadlineTimer gQuitDeadline(QDeadlineTimer::Forever);
std::atomic<bool> gAbandoned{false};

// Pools with abandoned work, reachable until the process ends.
void keepAbandoned(QThreadPool *pool)
{
    static auto *abandoned = new std::vector<QThreadPool *>;
    const std::lock_guard lock(gMutex);
    abandoned->push_back(pool);
}

int boundedWait(int waitMs)
{
    const std::lock_guard lock(gMutex);
    if (gQuitDeadline.isForever())
        return std::max(waitMs, 0);
    return int(std::clamp<qint64>(gQuitDeadline.remainingTime(), 0, std::max(waitMs, 0)));
}
} // namespace

WorkerPool::WorkerPool(QString name, int maxThreads)
    : m_name(std::move(name)), m_pool(new QThreadPool)
{
    if (maxThreads > 0)
        m_pool->setMaxThreadCount(maxThreads);
}

WorkerPool &WorkerPool::shared()
{
    static auto *pool = new WorkerPool(QStringLiteral("WorkerPool->shared"));
    return *pool;
}

WorkerPool::~WorkerPool()
{
    if (shutdown())
        delete m_pool;
}

bool WorkerPool::shutdown(int waitMs)
{
    if (m_abandoned)
        return false;
    if (shutdownPool(*m_pool, m_name, waitMs))
        return true;
    m_abandoned = true;
    keepAbandoned(m_pool);
    return false;
}

bool WorkerPool::shutdownPool(QThreadPool &pool, const QString &name, int waitMs)
{
    pool.clear();
    const int bound = boundedWait(waitMs);
    if (pool.waitForDone(bound))
        return true;
    logLine(lcUtil(),
            QStringLiteral("%1... work still running after %2 ms, abandoned").arg(name).arg(bound));
    gAbandoned = true;
    return false;
}

void WorkerPool::beginQuit(int totalMs)
{
    const std::lock_guard lock(gMutex);
    if (gQuitDeadline.isForever())
        gQuitDeadline.setRemainingTime(totalMs);
}

bool WorkerPool::workAbandoned()
{
    return gAbandoned;
}

} // namespace kivo
