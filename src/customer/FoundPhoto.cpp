#include "FoundPhoto.h"

#include "CustomerLog.h"
#include "platform/Log.h"
#include "util/FileHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace kivo {

namespace {

// Why a photo is not taken this time, or empty when it may be taken.
QString notReadyReason(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("is gone");
    const QDateTime settled = QDateTime::currentDateTime().addSecs(-FoundPhoto::kSettleSecs);
    if (info.lastModified() > settled)
        return QStringLiteral("changed in the last %1 s").arg(FoundPhoto::kSettleSecs);
    if (!IsValidImageObject(path))
        return QStringLiteral("is not a complete image");
    return {};
}

} // namespace

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

bool FoundPhoto::isReady(const QString &path)
{
    const QString reason = notReadyReason(path);
    if (reason.isEmpty())
        return true;
    // The preparation's log lines speak for the customer slideshow folder.
    logLine(lcCustomer(),
            traceInside(u"CustomerSlideshowFolder", u"handleFoundImages", u" ...") +
                QStringLiteral("[%1] %2: left for the next search").arg(path, reason));
    return false;
}

} // namespace kivo
