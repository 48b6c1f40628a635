#pragma once

#include "WorkerPool.h"
#include "platform/ThreadPriority.h"

#include <QFutureInterface>
#include <QFutureWatcher>
#include <QObject>
#include <QRunnable>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace kivo {

// The one way to run work off the main thread. Async::run(pool, receiver,
// work, deliver) runs work() on pool and then deliver(result) on receiver's
// thread. work takes only values (its captures) and returns a value; it must
// never reach the receiver. When the receiver is destroyed first, or the
// task is removed from the pool before it starts (WorkerPool::shutdown), the
// result is dropped and deliver never runs. Work runs below the main
// thread's priority (ThreadPriority).
//
// Qt is not built with ThreadSanitizer, so its own locks are invisible to it:
// the work and its result cross threads under a mutex of ours, which it sees.
class Async
{
public:
    template <typename Work, typename Deliver>
    static void run(WorkerPool &pool, QObject *receiver, Work work, Deliver deliver)
    {
        using Result = std::invoke_result_t<Work &>;
        using Stored = std::conditional_t<std::is_void_v<Result>, std::monostate, Result>;
        auto box = std::make_shared<Box<Stored>>();
        {
            const std::lock_guard lock(box->mutex);
            box->work = [work = std::move(work)]() mutable -> Stored {
                if constexpr (std::is_void_v<Result>) {
                    work();
                    return {};
                } else {
                    return work();
                }
            };
        }
        QFutureInterface<void> done;
        done.reportStarted();
        auto *watcher = new QFutureWatcher<void>(receiver);
        QObject::connect(watcher, &QFutureWatcherBase::finished, receiver,
                         [watcher, box, deliver = std::move(deliver)]() mutable {
                             watcher->deleteLater();
                             std::optional<Stored> result;
                             {
                                 const std::lock_guard lock(box->mutex);
                                 result = std::move(box->result);
                             }
                             if (!result)
                                 return;
                             if constexpr (std::is_void_v<Result>)
                                 deliver();
                             else
                                 deliver(std::move(*result));
                         });
        watcher->setFuture(done.future());
        pool.start(Task::make(done, [box] { box->runWork(); }));
    }

private:
    template <typename Stored> struct Box
    {
        std::mutex mutex;
        std::function<Stored()> work;
        std::optional<Stored> result;

        void runWork()
        {
            std::function<Stored()> w;
            {
                const std::lock_guard lock(mutex);
                w = std::move(work);
            }
            Stored r = w();
            const std::lock_guard lock(mutex);
            result = std::move(r);
        }
    };

    // Reports the future finished whether it ran or was removed from the
    // pool unstarted, so no watcher waits for good. Its members are set and
    // read under its mutex: it is built on one thread and run on another.
    class Task final : public QRunnable
    {
    public:
        static Task *make(QFutureInterface<void> done, std::function<void()> body)
        {
            auto *task = new Task;
            const std::lock_guard lock(task->m_mutex);
            task->m_done = std::move(done);
            task->m_body = std::move(body);
            return task;
        }
        ~Task() override
        {
            const std::lock_guard lock(m_mutex);
            m_done.reportFinished();
        }
        void run() override
        {
            ThreadPriority::lowerForWorker();
            std::function<void()> body;
            {
                const std::lock_guard lock(m_mutex);
                body = std::move(m_body);
            }
            body();
        }

    private:
        Task() = default;
        std::mutex m_mutex;
        QFutureInterface<void> m_done;
        std::function<void()> m_body;
    };
};

} // namespace kivo
