#include "CodeFolderScanner.h"

#include "station/ShareErrorLog.h"
#include "util/Async.h"
#include "util/WorkerPool.h"
#include "xml/TestParser.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace kivo {

namespace {
// Counts arriving within this many milliseconds are shown together.
constexpr int kCountFlushMs = 30;

WorkerPool &workers()
{
    return WorkerPool::shared();
}

// Counts asked for at a time: enough to keep every worker busy while the
// main thread takes the answers in.
int countsInFlight()
{
    return std::max(4, 2 * workers().maxThreads());
}
} // namespace

CodeFolderScanner::CodeFolderScanner(QObject *parent) : QObject(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kCountFlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CodeFolderScanner::flushCounts);
}

QList<CodeEntry> CodeFolderScanner::readCodeRows(const QString &dayFolder,
                                                 const QDateTime &scanTime)
{
    QList<CodeEntry> entries;
    QDir dir(dayFolder);
    if (!ShareErrorLog::isFolder(dayFolder))
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
    m_running = true;
    const quint64 generation = m_generation;
    const QDateTime scanTime = QDateTime::currentDateTime();
    Async::run(
        workers(), this, [dayFolder, scanTime] { return readCodeRows(dayFolder, scanTime); },
        [this, generation](QList<CodeEntry> entries) { deliverRows(generation, entries); });
}

void CodeFolderScanner::stop()
{
    ++m_generation;
    m_toCount.clear();
    m_countsOutstanding = 0;
    m_pendingCounts.clear();
    m_flushTimer.stop();
    m_running = false;
}

void CodeFolderScanner::deliverRows(quint64 generation, const QList<CodeEntry> &entries)
{
    if (generation != m_generation)
        return;
    emit rowsReady(entries);
    if (generation != m_generation)
        return; // a receiver started another scan
    if (entries.isEmpty()) {
        m_running = false;
        emit finished();
        return;
    }
    for (const CodeEntry &entry : entries)
        m_toCount << entry.folderPath;
    m_countsOutstanding = int(entries.size());
    for (int i = 0; i < countsInFlight(); ++i)
        countNext();
}

void CodeFolderScanner::countNext()
{
    if (m_toCount.isEmpty())
        return;
    const QString folder = m_toCount.takeFirst();
    const quint64 generation = m_generation;
    Async::run(
        workers(), this, [folder] { return countPhotos(folder); },
        [this, generation, folder](int count) { deliverCount(generation, folder, count); });
}

void CodeFolderScanner::deliverCount(quint64 generation, const QString &folder, int count)
{
    if (generation != m_generation)
        return;
    m_pendingCounts.insert(folder, count);
    if (--m_countsOutstanding <= 0) {
        flushCounts();
        m_running = false;
        emit finished();
        return;
    }
    countNext();
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
