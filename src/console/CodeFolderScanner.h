#pragma once

#include "CodeListModel.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace kivo {

// Lists the code folders of a day folder and counts their photos, off the
// main thread. The folder listing and the description files are read on a
// worker; rows come back in one piece (rowsReady), then each folder's photo
// count is taken on a worker and handed back in small batches (countsReady),
// both on the scanner's thread. A few counts are asked for at a time, so a
// superseded scan leaves little work behind. A scan started while another
// runs supersedes it: late results of the older scan are dropped. Workers
// run on WorkerPool::shared() (shut down at quit) and hold only values, so a
// scanner is destroyed without waiting for them.
class CodeFolderScanner : public QObject
{
    Q_OBJECT
public:
    explicit CodeFolderScanner(QObject *parent = nullptr);

    // The rows of dayFolder (blocking; any thread): one per subfolder that is
    // not hidden and holds a readable description file named after it. A
    // description file that does not parse gives a row without a code.
    // "codeStatus" is the code, "qty" is "-", missing dates are scanTime.
    static QList<CodeEntry> readCodeRows(const QString &dayFolder, const QDateTime &scanTime);
    // Entries of folder (one level, hidden ones included) whose extension is
    // "jpg" in any letter case.
    static int countPhotos(const QString &folder);

    void start(const QString &dayFolder);
    void stop();
    bool isRunning() const { return m_running; }

signals:
    void rowsReady(const QList<kivo::CodeEntry> &entries);
    void countsReady(const QHash<QString, int> &counts);
    // Every count of the scan was delivered.
    void finished();

private:
    void deliverRows(quint64 generation, const QList<CodeEntry> &entries);
    void countNext();
    void deliverCount(quint64 generation, const QString &folder, int count);
    void flushCounts();

    quint64 m_generation = 0;    // of the current scan; results of others are dropped
    QStringList m_toCount;       // folders whose count is not asked for yet
    int m_countsOutstanding = 0; // counts not delivered yet
    bool m_running = false;
    QHash<QString, int> m_pendingCounts;
    QTimer m_flushTimer;
};

} // namespace kivo
