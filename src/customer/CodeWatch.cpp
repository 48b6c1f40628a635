#include "CodeWatch.h"

#include "CustomerLog.h"
#include "FoundPhoto.h"
#include "platform/Log.h"
#include "util/Async.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace kivo {

CodeWatch::CodeWatch(QString code, QString folder, WorkerPool &pool, QObject *parent)
    : QObject(parent), m_code(std::move(code)), m_folder(std::move(folder)), m_pool(pool)
{
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &CodeWatch::poll);
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &CodeWatch::poll);
}

void CodeWatch::start(double minutes)
{
    if (!(minutes > 0))
        return;
    m_deadline.setRemainingTime(qint64(qMin(minutes, 1440.0) * 60000));
    m_timer.start();
    logLine(lcCustomer(), QStringLiteral("waiting up to %1 minutes for photos of code [%2]")
                              .arg(QString::number(minutes), m_code));
}

void CodeWatch::end(const QString &why)
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_settleTimer.stop();
    logLine(lcCustomer(),
            QStringLiteral("stopped waiting for photos of code [%1]: %2").arg(m_code, why));
}

void CodeWatch::poll()
{
    if (m_deadline.hasExpired()) {
        end(QStringLiteral("timed out"));
        return;
    }
    // A listing that hangs (a share that does not answer) is not joined by more.
    if (m_polling)
        return;
    m_polling = true;
    Async::run(
        m_pool, this,
        [folder = m_folder] {
            qint64 settles = 0;
            QStringList listing = settledPhotos(folder, &settles);
            return std::pair(std::move(listing), settles);
        },
        [this](const std::pair<QStringList, qint64> &result) {
            const auto &[listing, settles] = result;
            m_polling = false;
            if (!isWatching())
                return;
            // A photo still settling is looked at again the moment it has.
            if (settles != 0)
                m_settleTimer.start(FoundPhoto::msUntilSettled(settles, kPollMs));
            if (listing.isEmpty() || listing == m_listing)
                return;
            m_listing = listing;
            emit photosChanged();
        });
}

QStringList CodeWatch::settledPhotos(const QString &folder, qint64 *settles)
{
    QStringList listing;
    const QDateTime settled = QDateTime::currentDateTime().addSecs(-FoundPhoto::kSettleSecs);
    const QDateTime now = QDateTime::currentDateTime();
    const QFileInfoList entries = QDir(folder).entryInfoList(
        {QStringLiteral("*.jpg")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QDateTime modified = entry.lastModified();
        if (modified <= settled || modified > now)
            listing << QStringLiteral("%1 %2 %3")
                           .arg(entry.fileName())
                           .arg(entry.size())
                           .arg(modified.toMSecsSinceEpoch());
        else
            FoundPhoto::keepEarliest(settles, FoundPhoto::settlesAt(modified.toMSecsSinceEpoch(),
                                                                    now.toMSecsSinceEpoch()));
    }
    return listing;
}

} // namespace kivo
