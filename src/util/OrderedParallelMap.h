#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kivo {

// Computes work(0) .. work(count - 1) on several threads, never more than
// `lookahead` items ahead of the consumer, and hands the results over in index
// order through take(). The threads are joined when the map is destroyed.
template <typename Result> class OrderedParallelMap
{
public:
    OrderedParallelMap(qsizetype count, int threads, qsizetype lookahead,
                       std::function<Result(qsizetype)> work)
        : m_work(std::move(work)), m_results(size_t(count)),
          m_lookahead(std::max<qsizetype>(1, lookahead))
    {
        for (int t = 0; t < std::max(1, threads); ++t)
            m_threads.emplace_back([this] { run(); });
    }

    ~OrderedParallelMap()
    {
        {
            std::lock_guard lock(m_mutex);
            m_cancelled = true;
        }
        m_changed.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    OrderedParallelMap(const OrderedParallelMap &) = delete;
    OrderedParallelMap &operator=(const OrderedParallelMap &) = delete;

    // The result of item i, once computed. Call with i = 0, 1, 2, ... in turn.
    Result take(qsizetype i)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_results[size_t(i)].has_value(); });
        Result r = std::move(*m_results[size_t(i)]);
        m_results[size_t(i)].reset();
        m_consumed = i + 1;
        lock.unlock();
        m_changed.notify_all();
        return r;
    }

private:
    void run()
    {
        for (;;) {
            qsizetype i = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] {
                    return m_cancelled || m_next >= qsizetype(m_results.size()) ||
                           m_next < m_consumed + m_lookahead;
                });
                if (m_cancelled || m_next >= qsizetype(m_results.size()))
                    return;
                i = m_next++;
            }
            Result r = m_work(i);
            {
                std::lock_guard lock(m_mutex);
                m_results[size_t(i)] = std::move(r);
            }
            m_changed.notify_all();
        }
    }

    std::function<Result(qsizetype)> m_work;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<Result>> m_results;
    qsizetype m_lookahead;
    qsizetype m_next = 0;
    qsizetype m_consumed = 0;
    bool m_cancelled = false;
    std::vector<std::thread> m_threads;
};

} // namespace kivo
