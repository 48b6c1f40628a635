#include "KivoQueue.h"

#include "SlideshowLog.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QSet>

namespace kivo {

namespace {
// The first entries and the count, so a long queue keeps the line short.
QString describe(const QStringList &list)
{
    constexpr qsizetype kListed = 5;
    if (list.size() <= kListed)
        return QStringLiteral("(") + list.join(QStringLiteral(", ")) + QStringLiteral(")");
    return QStringLiteral("(") + list.first(kListed).join(QStringLiteral(", ")) +
           QStringLiteral(", ... %1 entries)").arg(list.size());
}

QSet<QString> caseFolded(const QStringList &list)
{
    QSet<QString> keys;
    keys.reserve(list.size());
    for (const QString &entry : list)
        keys.insert(entry.toCaseFolded());
    return keys;
}
} // namespace

KivoQueue::KivoQueue(Validator isValidImage) : m_isValidImage(std::move(isValidImage)) {}

KivoQueue::~KivoQueue()
{
    m_destroying.store(true, std::memory_order_release);
    m_generation.fetch_add(1, std::memory_order_acq_rel);
    std::unique_lock lock(m_lock);
    m_batchesDone.wait(lock, [this] { return m_activeBatches == 0; });
}

bool KivoQueue::isEmpty() const
{
    std::lock_guard lock(m_lock);
    return mArray.isEmpty();
}

std::optional<QString> KivoQueue::getNextObject()
{
    std::lock_guard lock(m_lock);
    if (mArray.isEmpty()) {
        logLine(lcSlideshow(),
                QStringLiteral("Inside KivoQueue => getNextObject ...Nothing queued yet..."));
        return std::nullopt;
    }
    qsizetype next = m_curIndex < 0 ? 0 : m_curIndex + 1;
    if (next >= mArray.size())
        next = 0;
    m_curIndex = next;
    return mArray.at(next);
}

bool KivoQueue::batchAbandoned(uint64_t generation) const
{
    return m_destroying.load(std::memory_order_acquire) ||
           m_generation.load(std::memory_order_acquire) != generation;
}

void KivoQueue::addToQueueInThread(const QStringList &paths)
{
    addToQueueInThread(paths, generation());
}

void KivoQueue::addToQueueInThread(const QStringList &paths, uint64_t generation, bool dropGone)
{
    {
        std::lock_guard lock(m_lock);
        if (m_destroying.load(std::memory_order_acquire))
            return;
        ++m_activeBatches;
    }
    // Leaves the batch count on every path out, so the destructor can go on.
    struct BatchScope
    {
        KivoQueue *queue;
        ~BatchScope()
        {
            std::lock_guard lock(queue->m_lock);
            if (--queue->m_activeBatches == 0)
                queue->m_batchesDone.notify_all();
        }
    } scope{this};

    // The slow part (decoding each candidate) runs without the lock.
    QStringList accepted;
    for (const QString &path : paths) {
        if (batchAbandoned(generation))
            break;
        if (m_isValidImage(path))
            accepted.append(path);
    }
    // Checked without the lock too: a file system can be slow to answer.
    QStringList gone;
    if (dropGone) {
        const QSet<QString> listed = caseFolded(paths);
        for (const QString &entry : entries())
            if (!listed.contains(entry.toCaseFolded()) && !QFileInfo::exists(entry))
                gone.append(entry);
    }

    std::lock_guard lock(m_lock);
    if (batchAbandoned(generation)) {
        logLine(lcSlideshow(),
                QStringLiteral("Inside KivoQueue => addToQueueInThread ...Queue was reset, "
                               "dropping a batch of %1 paths")
                    .arg(paths.size()));
        return;
    }
    logVerbose(lcSlideshow(),
               QStringLiteral("Inside KivoQueue => addToQueueInThread ...Queue BEFORE = %1")
                   .arg(describe(mArray)));
    for (const QString &entry : std::as_const(gone))
        removeLocked(entry);
    // Same rule as addToQueue(), with a set so a large batch stays linear.
    QSet<QString> present = caseFolded(mArray);
    for (const QString &path : accepted) {
        const QString key = path.toCaseFolded();
        if (present.contains(key))
            continue;
        present.insert(key);
        mArray.prepend(path);
    }
    logVerbose(lcSlideshow(),
               QStringLiteral("Inside KivoQueue => addToQueueInThread ...Queue AFTER = %1")
                   .arg(describe(mArray)));
}

bool KivoQueue::addToQueue(QStringList &list, const QString &path)
{
    if (list.contains(path, Qt::CaseInsensitive))
        return false;
    list.prepend(path);
    return true;
}

void KivoQueue::removeLocked(const QString &path)
{
    const qsizetype at = mArray.indexOf(path);
    if (at < 0)
        return;
    mArray.removeAt(at);
    if (at <= m_curIndex)
        --m_curIndex;
}

void KivoQueue::removeObject(const QString &path)
{
    std::lock_guard lock(m_lock);
    removeLocked(path);
}

void KivoQueue::reset()
{
    // The generation moves under the lock, so a batch either inserted before
    // this reset (and is emptied by it) or sees the new generation and drops.
    std::lock_guard lock(m_lock);
    m_generation.fetch_add(1, std::memory_order_acq_rel);
    mArray.clear();
    m_curIndex = -1;
}

QStringList KivoQueue::entries() const
{
    std::lock_guard lock(m_lock);
    return mArray;
}

qsizetype KivoQueue::curIndex() const
{
    std::lock_guard lock(m_lock);
    return m_curIndex;
}

} // namespace kivo
