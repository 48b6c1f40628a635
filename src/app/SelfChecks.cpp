#include "SelfChecks.h"

#include "util/Async.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <unistd.h>

namespace kivo {

namespace {
bool writable(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}
} // namespace

SelfChecks::SelfChecks(std::function<Targets()> targets, QObject *parent)
    : QObject(parent), m_targets(std::move(targets)),
      m_pool(QStringLiteral("SelfChecks->stop"), 2, 1)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &SelfChecks::round);
}

SelfChecks::~SelfChecks()
{
    stop();
}

void SelfChecks::start()
{
    m_timer.start();
    round();
}

void SelfChecks::stop()
{
    m_timer.stop();
    m_pool.shutdown();
}

SelfChecks::StoreFacts SelfChecks::checkStore(const QString &store, const QString &dayFolder)
{
    StoreFacts facts;
    if (store.isEmpty()) {
        facts.reasons << QStringLiteral("store: no main images folder is set");
        return facts;
    }
    QElapsedTimer clock;
    clock.start();
    QDir dir(store);
    const bool exists = dir.exists();
    if (exists)
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    facts.listingMs = clock.elapsed();
    facts.reachable = exists && QFileInfo(store).isReadable();
    if (!exists)
        facts.reasons << QStringLiteral("store %1 missing").arg(store);
    else if (!facts.reachable)
        facts.reasons << QStringLiteral("store %1 not readable").arg(store);
    else if (!dayFolder.isEmpty() && !QFileInfo(dayFolder).isDir())
        facts.reasons << QStringLiteral("day folder %1 missing").arg(dayFolder);
    return facts;
}

QStringList SelfChecks::checkLocal(const Targets &targets)
{
    QStringList reasons;
    for (const QString &overlay : targets.overlays)
        if (!QFileInfo(overlay).isFile())
            reasons << QStringLiteral("overlay picture %1 missing").arg(overlay);
    if (!targets.workingFolder.isEmpty()) {
        const QStorageInfo disk(targets.workingFolder);
        if (!writable(targets.workingFolder))
            reasons << QStringLiteral("working folder %1 not writable").arg(targets.workingFolder);
        else if (disk.isValid() && disk.bytesAvailable() < kMinFreeBytes)
            reasons << QStringLiteral("working folder disk: %1 MB free")
                           .arg(disk.bytesAvailable() / (1024 * 1024));
    }
    if (!targets.logFolder.isEmpty() && !writable(targets.logFolder))
        reasons << QStringLiteral("log folder %1 not writable").arg(targets.logFolder);
    return reasons;
}

void SelfChecks::round()
{
    const Targets targets = m_targets ? m_targets() : Targets();
    if (!m_localOut) {
        m_localOut = true;
        Async::run(
            m_pool, this, [targets] { return checkLocal(targets); },
            [this](const QStringList &reasons) {
                m_localOut = false;
                if (std::exchange(m_local, reasons) != reasons)
                    emit changed();
            });
    }
    if (m_storeOut.isValid()) {
        if (!m_storeStuck && m_storeOut.hasExpired(kStoreTimeoutMs)) {
            m_storeStuck = true;
            m_pool.markStuck();
            setStore({false,
                      m_store.listingMs,
                      {QStringLiteral("store %1 not answering").arg(m_storePath)}});
        }
        return;
    }
    m_storePath = targets.store;
    m_storeOut.start();
    Async::run(
        m_pool, this,
        [store = targets.store, day = targets.dayChanged ? targets.dayFolder : QString()] {
            return checkStore(store, day);
        },
        [this](const StoreFacts &facts) { storeAnswered(facts); });
}

void SelfChecks::storeAnswered(const StoreFacts &facts)
{
    m_storeOut.invalidate();
    if (std::exchange(m_storeStuck, false))
        m_pool.unmarkStuck();
    setStore(facts);
}

void SelfChecks::setStore(const StoreFacts &facts)
{
    const bool same = facts.reachable == m_store.reachable && facts.reasons == m_store.reasons;
    m_store = facts;
    if (!same)
        emit changed();
}

} // namespace kivo
