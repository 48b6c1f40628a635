#include "CodeFolderScanner.h"

#include "platform/Log.h"
#include "util/PoolTask.h"
#include "xml/TestParser.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace kivo {

namespace {
// Counts arriving within this many milliseconds are shown together.
constexpr int kCountFlushMs = 30;
} // namespace

CodeFolderScanner::CodeFolderScanner(QObject *parent)
    : QObject(parent), m_generation(std::make_shared<std::atomic<quint64>>(0))
{
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kCountFlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CodeFolderScanner::flushCounts);
}

CodeFolderScanner::~CodeFolderScanner()
{
    stop();
    m_pool.waitForDone();
}

QList<CodeEntry> CodeFolderScanner::readCodeRows(const QString &dayFolder,
                                                 const QDateTime &scanTime)
{
    QList<CodeEntry> entries;
    QDir dir(dayFolder);
    if (!dir.exists())
        return entries;
    const QFileInfoList infos =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Unsorted);
    for (const QFileInfo &info : infos) {
        const QString folder = info.absoluteFilePath();
        const QString descriptionFile =
            folder + QLatin1Char('/') + info.fileName() + QLatin1String(".xml");
        std::optional<QVariantMap> parsed = testParser(descriptionFile);
        if (!parsed)
            continue;
        QVariantMap row = std::move(*parsed);
        if (row.contains(QLatin1String(rowKey::code)))
            row.insert(QLatin1String(rowKey::codeStatus),
                       row.value(QLatin1String(rowKey::code)).toString());
        row.insert(QLatin1String(rowKey::qty), QStringLiteral("-"));
        const QDateTime modified = info.lastModified();
        const QDateTime created = info.birthTime();
        row.insert(QLatin1String(rowKey::contentModDate), modified.isValid() ? modified : scanTime);
        row.insert(QLatin1String(rowKey::createDate), created.isValid() ? created : scanTime);
        entries.append(CodeEntry{folder, std::move(row)});
    }
    return entries;
}

int CodeFolderScanner::countPhotos(const QString &folder)
{
    int count = 0;
    QDirIterator it(folder,
                    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) &&
            it.fileName().size() > 4)
            ++count;
    }
    return count;
}

void CodeFolderScanner::start(const QString &dayFolder)
{
    stop();
    m_current = ++*m_generation;
    m_running = true;
    m_countsOutstanding = 0;
    auto generation = m_generation;
    const quint64 mine = m_current;
    const QDateTime scanTime = QDateTime::currentDateTime();
    // The destructor waits for the pool, so `self` outlives every worker; a
    // result queued just before destruction is dropped with the receiver.
    CodeFolderScanner *self = this;
    PoolTask::start(m_pool, [self, generation, mine, dayFolder, scanTime] {
        if (*generation != mine)
            return;
        QList<CodeEntry> entries = readCodeRows(dayFolder, scanTime);
        QMetaObject::invokeMethod(
            self, [self, mine, entries] { self->deliverRows(mine, entries); },
            Qt::QueuedConnection);
    });
}

void CodeFolderScanner::stop()
{
    ++*m_generation;
    m_pool.clear();
    m_pendingCounts.clear();
    m_flushTimer.stop();
    m_running = false;
}

void CodeFolderScanner::deliverRows(quint64 generation, const QList<CodeEntry> &entries)
{
    if (generation != m_current || *m_generation != generation)
        return;
    emit rowsReady(entries);
    if (entries.isEmpty()) {
        m_running = false;
        emit finished();
        return;
    }
    m_countsOutstanding = int(entries.size());
    auto shared = m_generation;
    CodeFolderScanner *self = this;
    for (const CodeEntry &entry : entries) {
        const QString folder = entry.folderPath;
        PoolTask::start(m_pool, [self, shared, generation, folder] {
            if (*shared != generation)
                return;
            const int count = countPhotos(folder);
            QMetaObject::invokeMethod(
                self,
                [self, generation, folder, count] {
                    self->deliverCount(generation, folder, count);
                },
                Qt::QueuedConnection);
        });
    }
}

void CodeFolderScanner::deliverCount(quint64 generation, const QString &folder, int count)
{
    if (generation != m_current || *m_generation != generation)
        return;
    m_pendingCounts.insert(folder, count);
    if (--m_countsOutstanding <= 0) {
        flushCounts();
        m_running = false;
        emit finished();
        return;
    }
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void CodeFolderScanner::flushCounts()
{
    m_flushTimer.stop();
    if (m_pendingCounts.isEmpty())
        return;
    const QHash<QString, int> counts = std::exchange(m_pendingCounts, {});
    emit countsReady(counts);
}

} // namespace kivo
