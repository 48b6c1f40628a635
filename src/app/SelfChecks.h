#pragma once

#include "util/WorkerPool.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace kivo {

// The station's checks of its folders and disks, a round every kIntervalMs.
// Each problem is a short reason text; the reasons of the last answers are
// kept until the next. Everything that touches a file system runs on the own
// pool: the store (main images folder and today's day folder, which may sit
// on a hung share) in one task, the local folders in another, never two of a
// kind at once. A store task out longer than kStoreTimeoutMs makes the store
// "not answering" and is marked stuck, so the local checks go on.
class SelfChecks : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 3000;
    static constexpr int kStoreTimeoutMs = 4000;
    static constexpr qint64 kMinFreeBytes = 100LL * 1024 * 1024;

    // What to look at; read on the main thread at every round.
    struct Targets
    {
        QString store;     // main images folder; empty: not set
        QString dayFolder; // checked when dayChanged
        bool dayChanged = false;
        QStringList overlays; // pictures that must exist
        QString workingFolder;
        QString logFolder; // empty: no log file
    };
    struct StoreFacts
    {
        bool reachable = false;
        qint64 listingMs = -1; // the last listing of the main images folder
        QStringList reasons;
    };

    explicit SelfChecks(std::function<Targets()> targets, QObject *parent = nullptr);
    ~SelfChecks() override;

    void start();
    // Stops the rounds and the pool, waiting a bounded time.
    void stop();

    const QString &storePath() const { return m_storePath; }
    const StoreFacts &store() const { return m_store; }
    QStringList reasons() const { return m_store.reasons + m_local; }

    // The checks themselves, on a worker.
    static StoreFacts checkStore(const QString &store, const QString &dayFolder);
    static QStringList checkLocal(const Targets &targets);

signals:
    // The reasons or the store's reachability changed.
    void changed();

private:
    void round();
    void storeAnswered(const StoreFacts &facts);
    void setStore(const StoreFacts &facts);

    std::function<Targets()> m_targets;
    WorkerPool m_pool;
    QTimer m_timer;
    QString m_storePath;
    StoreFacts m_store;
    QStringList m_local;
    QElapsedTimer m_storeOut; // running while a store task is out
    bool m_storeStuck = false;
    bool m_localOut = false;
};

} // namespace kivo
