#pragma once

#include "util/WorkerPool.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>

namespace kivo {

// Loads one display's slides on a pool of its own, each load bounded in
// time. A load that has not answered within the bound (a read hung on a
// share) is given up and answered as timed out; it is marked stuck on the
// pool, which leaves its thread to it and grows by one thread in its place,
// up to kMaxStuck. A given-up load that comes back frees its place.
class SlideDecoder : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 10000;
    static constexpr int kMaxStuck = 2;

    struct Result
    {
        enum class Outcome
        {
            Loaded,
            NoFolder,
            Missing,
            Directory,
            Undecodable,
            TimedOut
        };
        Outcome outcome = Outcome::Undecodable;
        QString path;
        QImage image;
        QString error;
    };
    using Delivery = std::function<void(const Result &)>;

    explicit SlideDecoder(QObject *parent = nullptr);
    // Waits briefly (not past the quit's deadline, not at all when a load is
    // stuck) for a running load; a pool still busy then is left behind.
    ~SlideDecoder() override;

    // On a worker: checks that folder (when given) exists and that path is a
    // file, then decodes it to fit target. deliver runs on this thread.
    void load(const QString &folder, const QString &path, QSize target, Delivery deliver);

    // So many loads are stuck that no other may start.
    bool isBlocked() const { return m_pool.isBlocked(); }
    int stuckCount() const { return m_pool.stuckCount(); }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    WorkerPool m_pool;
    int m_timeoutMs = kTimeoutMs;
};

} // namespace kivo
