#include "FoundPhoto.h"

#include "CustomerLog.h"
#include "platform/Log.h"
#include "station/ShareErrorLog.h"
#include "util/FileHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kivo {

QString FoundPhoto::locate(const QString &searchPath, const QString &entry)
{
    if (searchPath.isEmpty() || entry.isEmpty())
        return {};
    const QString relative = entry.startsWith(QLatin1String("./")) ? entry.mid(2) : entry;
    const QString base = QDir::cleanPath(searchPath);
    const QString path = QDir::cleanPath(base + u'/' + relative);
    if (relative.startsWith(u'/') || !path.startsWith(base + u'/'))
        return {};
    return path;
}

int FoundPhoto::status(const QString &path, struct stat *st)
{
    if (::stat(QFile::encodeName(path).constData(), st) == 0)
        return 0;
    const int error = errno;
    if (error != ENOENT && error != ENOTDIR)
        ShareErrorLog::report(QFileInfo(path).path(),
                              QStringLiteral("[%1] cannot be read: %2")
                                  .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    return error;
}

qint64 FoundPhoto::settlesAt(qint64 modifiedMs, qint64 nowMs)
{
    const qint64 age = nowMs - modifiedMs;
    return age >= 0 && age < kSettleSecs * 1000 ? modifiedMs + kSettleSecs * 1000 : 0;
}

int FoundPhoto::msUntilSettled(qint64 settlesAt, int cap)
{
    constexpr qint64 kMarginMs = 20;
    return int(
        std::clamp<qint64>(settlesAt - QDateTime::currentMSecsSinceEpoch() + kMarginMs, 0, cap));
}

void FoundPhoto::keepEarliest(qint64 *earliest, qint64 at)
{
    if (earliest && at > 0 && (*earliest == 0 || at < *earliest))
        *earliest = at;
}

namespace {

void leaveForNextSearch(const QString &path, const QString &reason)
{
    // The preparation's log lines speak for the customer slideshow folder.
    logLine(lcCustomer(),
            traceInside(u"CustomerSlideshowFolder", u"handleFoundImages", u" ...") +
                QStringLiteral("[%1] %2: left for the next search").arg(path, reason));
}

const QString kIncomplete = QStringLiteral("is not a complete image");

} // namespace

void FoundPhoto::leftIncomplete(const QString &path)
{
    leaveForNextSearch(path, kIncomplete);
}

bool FoundPhoto::isReady(const QString &path, qint64 *settles, bool testImage)
{
    // An entry that has gone since the search is skipped silently; other
    // errors are logged by status().
    struct stat st = {};
    if (status(path, &st) != 0)
        return false;
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    const qint64 settled = settlesAt(modified, QDateTime::currentMSecsSinceEpoch());
    QString reason;
    if (!S_ISREG(st.st_mode)) {
        reason = QStringLiteral("is not a file");
    } else if (settled != 0) {
        reason = QStringLiteral("changed in the last %1 s").arg(kSettleSecs);
        keepEarliest(settles, settled);
    } else if (testImage && !IsValidImageObject(path)) {
        reason = kIncomplete;
    } else {
        return true;
    }
    leaveForNextSearch(path, reason);
    return false;
}

} // namespace kivo
