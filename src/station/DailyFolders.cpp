#include "DailyFolders.h"

#include "StationLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/CustomerCode.h"
#include "station/DateFormat.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"

#include <QDir>

#include <atomic>

namespace kivo {

namespace {
const QString kDefaultDailyFolderFormat = QStringLiteral("yyyy-MM-dd");

QString joinPath(const QString &folder, const QString &component)
{
    if (folder.isEmpty())
        return component;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + component;
    return folder + QLatin1Char('/') + component;
}
} // namespace

QDateTime businessInstant()
{
    return Clock::now().addSecs(-kBusinessDayShiftSecs);
}

QString getDailyFolderFormat()
{
    const QString format =
        Preferences::standard().string(QLatin1String(keys::prefDailyFolderFormat)).trimmed();
    return format.isEmpty() ? kDefaultDailyFolderFormat : format;
}

QString getDailyFolderName()
{
    return getDailyFolderName2(getDailyFolderFormat());
}

QString getDailyFolderName2(const QString &format)
{
    if (format.isEmpty())
        return {};
    return formatDateWithPattern(businessInstant(), format);
}

QString mainImagesFolder(QString *why)
{
    const QString stored = Preferences::standard().string(QLatin1String(keys::prefSlideShowPath));
    const QString path = expandTilde(stored.trimmed().isEmpty() ? QString() : stored);
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    const QString reason =
        path.isEmpty()
            ? QStringLiteral("No main images folder is set. Choose one in the preferences.")
            : QStringLiteral("The main images folder [%1] is not a full path. Choose one in "
                             "the preferences.")
                  .arg(stored);
    static std::atomic<qint64> lastLogged{-60000};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 last = lastLogged.load();
    if (now - last >= 60000 && lastLogged.compare_exchange_strong(last, now))
        logLine(lcStation(),
                QStringLiteral("mainImagesFolder... refused prefSlideShowPath [%1]: %2")
                    .arg(stored, reason));
    if (why)
        *why = reason;
    return {};
}

QString todaysDayFolderPath(QString *why)
{
    const QString root = mainImagesFolder(why);
    const QString name = getDailyFolderName();
    return root.isEmpty() || name.isEmpty() ? QString() : joinPath(root, name);
}

QString consoleDayFolderPath()
{
    Preferences &prefs = Preferences::standard();
    const QString todaysDateString = getDailyFolderName();
    QString path = todaysDayFolderPath();
    logLine(lcStation(), QStringLiteral("todaysDateString is %1").arg(todaysDateString));
    logLine(lcStation(), QStringLiteral("todaysSlideShowPath is %1").arg(path));
    const QString alternate =
        prefs.string(QLatin1String(keys::prefPathToAlternateDateFolder)).trimmed();
    if (!alternate.isEmpty()) {
        path = alternate;
        logLine(lcStation(), QStringLiteral("ALTERNATE todaysSlideShowPath is %1").arg(path));
    }
    return path;
}

QString formPathForCodeNew(const QString &code)
{
    // A code names one folder inside the day folder and never leads out of it.
    if (const QString why = CustomerCode::refusal(code); !why.isEmpty()) {
        logLine(lcStation(),
                QStringLiteral("formPathForCodeNew: ") + CustomerCode::refusedText(code, why));
        return {};
    }
    const QString day = consoleDayFolderPath();
    return day.isEmpty() ? QString() : joinPath(day, code);
}

QString computeCurrentDaysFolderString2(qint16 hours, qint16 minutes)
{
    const qint64 shift = qint64(hours) * 3600 + qint64(minutes) * 60;
    return formatDateWithPattern(Clock::now().addSecs(-shift), kDefaultDailyFolderFormat);
}

} // namespace kivo
