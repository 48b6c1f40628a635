#include "BRLogFileManager.h"
#include "AppLog.h"

#include "platform/AppPaths.h"

#include "platform/Log.h"
#include "platform/SystemInfo.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "util/FileHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kivo {

namespace {
std::atomic<bool> gRedirected{false};

// The file the log goes to; cleanup never removes it.
QMutex gActiveLogMutex;
QString gActiveLogPath;

QString activeLogPath()
{
    QMutexLocker lock(&gActiveLogMutex);
    return gActiveLogPath;
}

const QString kRule = QString(59, QLatin1Char('='));

bool optionFlag(const QVariantMap &options, const char *key)
{
    return options.value(QLatin1String(key)).toBool();
}
} // namespace

QString BRLogFileManager::logFolder()
{
    return AppPaths::xdgBaseDir("XDG_STATE_HOME", QStringLiteral(".local/state")) +
           QStringLiteral("/Kivo/Logs");
}

QString BRLogFileManager::getApplicationName()
{
    QString name = QCoreApplication::applicationName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name.isEmpty() ? QString::fromLatin1(defaultBaseName) : name;
}

QString BRLogFileManager::versionText()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral(KIVO_VERSION) : version;
}

QString BRLogFileManager::hostModelAndArch()
{
    return SystemInfo::hostModelAndArch();
}

QString BRLogFileManager::logFilePath()
{
    return QStringLiteral("%1/%2_%3.%4")
        .arg(logFolder(), getApplicationName(), computeCurrentDaysFolderString2(3, 0),
             QString::fromLatin1(logExtension));
}

bool BRLogFileManager::isRedirected()
{
    return gRedirected.load();
}

bool BRLogFileManager::setupLogFile()
{
    if (gRedirected.load())
        return true;
    const QString folder = logFolder();
    if (!QDir().mkpath(folder))
        logLine(
            lcApp(),
            QStringLiteral("createDirectoryAtPath returned error: cannot create [%1]").arg(folder));
    if (!QFileInfo(folder).isDir())
        return true;

    const QString path = logFilePath();
    logLine(lcApp(), QStringLiteral("Redirecting Log to File at [%1]").arg(path));
    // Opened first and then put in place of descriptor 2, so a file that cannot
    // be opened leaves the old stream working (freopen would have closed it).
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        logLine(lcApp(), QStringLiteral("Redirecting Log to File at [%1] FAILED: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return true;
    }
    // The earlier stream stays open: a log file that cannot be written is said there.
    const int earlier = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    std::fflush(stderr);
    const bool moved = ::dup2(fd, STDERR_FILENO) >= 0;
    ::close(fd);
    if (!moved) {
        if (earlier >= 0)
            ::close(earlier);
        logLine(lcApp(), QStringLiteral("Redirecting Log to File at [%1] FAILED").arg(path));
        return true;
    }
    if (earlier >= 0)
        setLogFailureStream(earlier);
    {
        QMutexLocker lock(&gActiveLogMutex);
        gActiveLogPath = QFileInfo(path).canonicalFilePath();
    }
    gRedirected = true;

    logLine(lcApp(), kRule);
    logLine(lcApp(), hostModelAndArch());
    const QString os = SystemInfo::osVersion();
    logLine(lcApp(), os.isEmpty() ? QStringLiteral("failed to get the OS version??")
                                  : QStringLiteral("OS: %1").arg(os));
    logLine(lcApp(), QStringLiteral("%1 => %2").arg(getApplicationName(), versionText()));
    logLine(lcApp(), kRule);
    return true;
}

void BRLogFileManager::deleteOldLogsWithOptions(const QVariantMap &options)
{
    const bool walkSubfolders = optionFlag(options, "deleteSubDirectory");
    const bool deleteImmediately = optionFlag(options, "deleteImmediately");
    QString folder = options.value(QStringLiteral("sourcePath")).toString();
    if (folder.isEmpty())
        folder = logFolder();
    QString baseName = options.value(QStringLiteral("baseName")).toString();
    if (baseName.isEmpty())
        baseName = getApplicationName();
    QDateTime beforeDate = options.value(QStringLiteral("beforeDate")).toDateTime();
    if (!beforeDate.isValid())
        beforeDate = Clock::now().addSecs(-3 * 86400);
    if (baseName.isEmpty()) {
        logLine(lcApp(), QStringLiteral("deleteOldLogsWithOptions: no base name, nothing removed"));
        return;
    }
    folder = expandTilde(folder);

    // Listed first, then decided: removing while iterating would disturb the walk.
    // Symbolic links to folders are not descended into.
    QStringList items;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    walkSubfolders ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext())
        items << it.next();
    for (const QString &item : std::as_const(items))
        deleteItem(item, beforeDate, baseName, deleteImmediately);
}

void BRLogFileManager::deleteItem(const QString &path, const QDateTime &beforeDate,
                                  const QString &baseName, bool deleteImmediately)
{
    const QString expanded = expandTilde(path);
    const QFileInfo info(expanded);
    if (info.isSymLink()) {
        logLine(lcApp(), QStringLiteral("deleteItem: symbolic link left alone: %1").arg(expanded));
        return;
    }
    if (!info.exists()) {
        logLine(lcApp(),
                QStringLiteral("testDirectory=> curItem does NOT exist: %1\n").arg(expanded));
        return;
    }
    if (info.isDir() || !info.isFile())
        return;
    if (baseName.isEmpty() || !info.fileName().startsWith(baseName, Qt::CaseInsensitive))
        return;
    if (!activeLogPath().isEmpty() && info.canonicalFilePath() == activeLogPath())
        return;
    if (!itemIsEarlierThan(expanded, beforeDate, QStringLiteral("NSFileModificationDate")))
        return;
    if (deleteImmediately) {
        if (QFile::remove(expanded))
            logLine(lcApp(), QStringLiteral("Item DELETED: [%1]").arg(expanded));
        else
            logLine(lcApp(), QStringLiteral("deleteItem: could not delete [%1]").arg(expanded));
    } else {
        moveFileToUserTrash(expanded);
        if (!QFileInfo::exists(expanded))
            logLine(lcApp(), QStringLiteral("Item Moved To Trash: [%1]").arg(expanded));
    }
}

} // namespace kivo
