#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace kivo {

class OverlayCompositor;
class WorkerPool;

// One console-mode fill of the working folder: every photo of the result
// list is framed with the overlay (unframed when no overlay applies) into a
// pending file; on this object's thread the results enter the folder in list
// order by a rename. The first photo is framed on the compositing pool at
// full speed, so it reaches the display within the time of one composite;
// the others are framed meanwhile, several at once, on the background pool,
// whose threads give way to it, the main thread, the display's decoding and
// the X server. The previous customer's slides go when the
// first new photo is ready, so a fill that finds nothing usable, or cannot
// write (a full disk), leaves the display as it is. Failed copies are logged
// in one line at the end.
class ConsoleModeFill : public QObject
{
    Q_OBJECT
public:
    // What framing one entry gave: no source when it was skipped; a pending
    // file to rename into place, or the reason the copy failed.
    struct Framed
    {
        QString source;
        QString pending;
        QString error;
        qint64 settlesAt = 0; // skipped until then: it had not settled
    };

    ConsoleModeFill(QString workingFolder, QString searchPath, QStringList response,
                    std::shared_ptr<OverlayCompositor> compositor,
                    std::shared_ptr<const std::atomic<bool>> stop, WorkerPool &pool,
                    WorkerPool &background, QObject *parent = nullptr);

    // Makes the working folder ready for a fill and clears pending files left
    // by an interrupted one; false when it cannot be used. Runs on a worker.
    static bool prepareFolder(const QString &workingFolder);

    // Starts framing every entry.
    void start();

    // When the earliest photo left out because it had not settled settles
    // (ms since the epoch); 0 when none was.
    qint64 settlesAt() const { return m_settlesAt; }

signals:
    // A photo was placed, or failed to be, while the prepared count is 1.
    void playRequested();
    // Every entry has been placed or skipped.
    void finished(int prepared);

private:
    static Framed frame(const QString &entry, const QString &searchPath,
                        const QString &workingFolder, OverlayCompositor &compositor,
                        const std::atomic<bool> &stop);
    void run(size_t index, WorkerPool &pool, bool background);
    void take(size_t index, Framed framed);
    void place(const Framed &item);

    QString m_workingFolder;
    QString m_searchPath;
    QStringList m_response;
    std::shared_ptr<OverlayCompositor> m_compositor;
    std::shared_ptr<const std::atomic<bool>> m_stop;
    WorkerPool &m_pool;
    WorkerPool &m_background;
    std::vector<std::optional<Framed>> m_results;
    size_t m_next = 0;
    bool m_emptied = false;
    bool m_finished = false;
    qint64 m_settlesAt = 0;
    int m_prepared = 0;
    int m_failed = 0;
    QString m_firstFailure;
};

} // namespace kivo
