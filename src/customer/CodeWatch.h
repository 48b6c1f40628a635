#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace kivo {

class WorkerPool;

// Watches the folder of a code whose search found no photo that could be
// shown: lists it every kPollMs on a worker, quietly, and again the moment a
// photo seen settling has settled, and tells when the settled photos in it
// changed (photosChanged), until end() or until the wait runs out. Logs one line when it starts and
// one when it ends.
class CodeWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollMs = 2000;

    // The code's folder: searchPath/code.
    CodeWatch(QString code, QString folder, WorkerPool &pool, QObject *parent = nullptr);

    const QString &code() const { return m_code; }
    bool isWatching() const { return m_timer.isActive(); }

    // Watches for minutes (a fraction allowed); no watch when not positive.
    void start(double minutes);
    // Ends the watch, logging why (no line when it was not watching).
    void end(const QString &why);
    // The next poll tells of the photos even when they did not change.
    void forgetListing() { m_listing.clear(); }

    // The settled photos directly inside folder: "name size mtime" lines,
    // sorted; when one is still settling, the earliest time one settles in
    // *settles (ms since the epoch). Runs on a worker.
    static QStringList settledPhotos(const QString &folder, qint64 *settles = nullptr);

signals:
    void photosChanged();

private:
    void poll();

    const QString m_code;
    const QString m_folder;
    WorkerPool &m_pool;
    QTimer m_timer;
    QTimer m_settleTimer;
    QDeadlineTimer m_deadline;
    QStringList m_listing;
    bool m_polling = false;
};

} // namespace kivo
