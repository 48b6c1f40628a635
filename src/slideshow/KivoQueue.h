#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace kivo {

// The image paths one display plays, read as a ring. A search thread adds
// batches, the slideshow thread reads, the main thread empties it; one mutex
// guards the list and is never held while a batch is being validated.
class KivoQueue
{
public:
    // Tells whether a path is a decodable image; called outside the lock, on
    // the thread that adds a batch.
    using Validator = std::function<bool(const QString &path)>;

    explicit KivoQueue(Validator isValidImage);
    // Abandons a batch being validated and waits for it to leave.
    ~KivoQueue();

    KivoQueue(const KivoQueue &) = delete;
    KivoQueue &operator=(const KivoQueue &) = delete;

    bool isEmpty() const;

    // The entry after the one returned last, wrapping to the first; nothing
    // when the queue is empty (the position is then unchanged).
    std::optional<QString> getNextObject();

    // Validates each path (outside the lock), then puts the accepted ones in
    // front, in the order given, skipping case-insensitive duplicates. Meant
    // to run on a worker thread. The batch is dropped when the queue is reset
    // or destroyed before it is inserted.
    void addToQueueInThread(const QStringList &paths);
    // As above, but tied to a generation read earlier (generation()), so a
    // batch prepared for a folder that has since been given up is dropped
    // even when it starts after the reset. With dropGone the batch is a
    // fresh listing of the folder: entries it lacks whose files are gone are
    // dropped first.
    void addToQueueInThread(const QStringList &paths, uint64_t generation, bool dropGone = false);

    // Inserts the path at the front of the list unless an entry equal to it
    // without regard to case is present. Returns whether it was inserted.
    static bool addToQueue(QStringList &list, const QString &path);

    // Drops the entry equal to path; the next read returns the entry that
    // followed it.
    void removeObject(const QString &path);

    // Empties the queue; the next read returns position 0.
    void reset();

    // Changes with every reset.
    uint64_t generation() const { return m_generation.load(std::memory_order_acquire); }

    // Snapshots, for status and tests.
    QStringList entries() const;
    qsizetype curIndex() const;

private:
    bool batchAbandoned(uint64_t generation) const;
    void removeLocked(const QString &path);

    const Validator m_isValidImage;
    mutable std::mutex m_lock;
    std::condition_variable m_batchesDone;
    QStringList mArray;        // guarded by m_lock
    qsizetype m_curIndex = -1; // guarded by m_lock
    int m_activeBatches = 0;   // guarded by m_lock
    std::atomic<uint64_t> m_generation{0};
    std::atomic<bool> m_destroying{false};
};

} // namespace kivo
