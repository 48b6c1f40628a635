#include "WorkerPool.h"

#include "AppLog.h"
#include "platform/Log.h"

#include <mutex>
#include <vector>

namespace kivo {

namespace {
// Pools with abandoned work, reachable until the process ends.
void keepAbandoned(QThreadPool *pool)
{
    static std::mutex mutex;
    static auto *abandoned = new std::vector<QThreadPool *>;
    const std::lock_guard lock(mutex);
    abandoned->push_back(pool);
}
} // namespace

WorkerPool::WorkerPool(QString name) : m_name(std::move(name)), m_pool(new QThreadPool) {}

WorkerPool::~WorkerPool()
{
    if (shutdown())
        delete m_pool;
}

bool WorkerPool::shutdown(int waitMs)
{
    if (m_abandoned)
        return false;
    m_pool->clear();
    if (m_pool->waitForDone(waitMs))
        return true;
    logLine(
        lcApp(),
        QStringLiteral("%1... work still running after %2 ms, abandoned").arg(m_name).arg(waitMs));
    m_abandoned = true;
    keepAbandoned(m_pool);
    return false;
}

} // namespace kivo
