#include "WorkerPool.h"

#include "UtilLog.h"
#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QThreadPool>

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

WorkerPool::WorkerPool(QString name, int maxThreads, int maxStuck)
    : m_name(std::move(name)), m_pool(new QThreadPool), m_maxThreads(maxThreads),
      m_maxStuck(std::max(maxStuck, 0))
{
    if (m_maxThreads <= 0)
        m_maxThreads = m_pool->maxThreadCount();
    applyThreadCount();
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

void WorkerPool::start(QRunnable *task)
{
    m_pool->start(task);
}

void WorkerPool::setMaxThreads(int maxThreads)
{
    m_maxThreads = std::max(maxThreads, 1);
    applyThreadCount();
}

void WorkerPool::markStuck()
{
    ++m_stuck;
    applyThreadCount();
}

void WorkerPool::unmarkStuck()
{
    m_stuck = std::max(m_stuck - 1, 0);
    applyThreadCount();
}

void WorkerPool::applyThreadCount()
{
    m_pool->setMaxThreadCount(m_maxThreads + m_stuck);
}

bool WorkerPool::shutdown(int waitMs)
{
    if (m_abandoned)
        return false;
    m_pool->clear();
    // Stuck work would keep any wait to its end.
    if (waitOrAbandon(m_stuck > 0 ? 0 : waitMs))
        return true;
    m_abandoned = true;
    keepAbandoned(m_pool);
    return false;
}

bool WorkerPool::waitOrAbandon(int waitMs)
{
    const int bound = boundedWait(waitMs);
    if (m_pool->waitForDone(bound))
        return true;
    if (m_maxStuck > 0)
        logLine(lcUtil(), QStringLiteral("%1... leaving %2 stuck load(s) behind")
                              .arg(m_name)
                              .arg(std::max(m_stuck, 1)));
    else
        logLine(lcUtil(), QStringLiteral("%1... work still running after %2 ms, abandoned")
                              .arg(m_name)
                              .arg(bound));
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
