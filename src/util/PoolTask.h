#pragma once

#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <mutex>

namespace kivo {

// Runs a function on a pool. The function is handed over under a mutex of our
// own: Qt's locks are invisible to ThreadSanitizer (Qt is not instrumented),
// so without it every capture would be reported as a race.
class PoolTask final : public QRunnable
{
public:
    static void start(QThreadPool &pool, std::function<void()> work)
    {
        auto *task = new PoolTask;
        {
            const std::lock_guard lock(task->m_mutex);
            task->m_work = std::move(work);
        }
        pool.start(task);
    }

    void run() override
    {
        std::function<void()> work;
        {
            const std::lock_guard lock(m_mutex);
            work = std::move(m_work);
        }
        if (work)
            work();
    }

private:
    PoolTask() = default;
    std::mutex m_mutex;
    std::function<void()> m_work;
};

} // namespace kivo
