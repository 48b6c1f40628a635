#include "FileHelpers.h"

#include "UtilLog.h"
#include "platform/Log.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

struct Instant
{
    qint64 sec = 0;
    qint64 nsec = 0;
    bool operator<(const Instant &o) const
    {
        return sec < o.sec || (sec == o.sec && nsec < o.nsec);
    }
    bool operator==(const Instant &o) const { return sec == o.sec && nsec == o.nsec; }
};

// Creation dates that mean "unknown" on the file systems the station has met.
constexpr Instant kZeroDate1904{-2082844800, 0};
constexpr Instant kZeroDate1970{0, 0};

Instant toInstant(const statx_timestamp &t)
{
    return {qint64(t.tv_sec), qint64(t.tv_nsec)};
}

Instant toInstant(const QDateTime &date)
{
    const qint64 ms = date.toMSecsSinceEpoch();
    const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    return {sec, (ms - sec * 1000) * 1000000};
}

QString describe(const Instant &t)
{
    return QDateTime::fromSecsSinceEpoch(t.sec, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
}

// The home folder, "/" and every folder between them.
bool isHomeOrAncestor(const QString &path)
{
    const QString dir = QFileInfo(path).canonicalFilePath();
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    if (dir.isEmpty() || dir == QLatin1String("/"))
        return true;
    return !home.isEmpty() && (home == dir || home.startsWith(dir + QLatin1Char('/')));
}

// Creates `path` and any missing parents with mode 0777 (umask notwithstanding).
bool makeDirectories(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current;
    for (const QString &part : parts) {
        current += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(current);
        struct stat st
        {};
        if (::stat(native.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            logLine(
                lcUtil(),
                QStringLiteral("createDirectoryIfMissing -> [%1] is not a directory").arg(current));
            return false;
        }
        if (::mkdir(native.constData(), 0777) == 0) {
            setPermissionInC(native.constData(), 0777);
            continue;
        }
        const int code = errno;
        if (code == EEXIST && QFileInfo(current).isDir())
            continue; // created meanwhile by someone else
        logLine(lcUtil(), QStringLiteral("createDirectoryIfMissing -> unable to create [%1]: %2")
                              .arg(current, QString::fromLocal8Bit(std::strerror(code))));
        return false;
    }
    return true;
}

} // namespace

QString expandTilde(const QString &path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

bool staysInsideParentFolder(const QString &path)
{
    const QFileInfo item(path);
    const QString real = item.canonicalFilePath();
    QString parent = QFileInfo(item.absolutePath()).canonicalFilePath();
    if (real.isEmpty() || parent.isEmpty())
        return false;
    if (!parent.endsWith(QLatin1Char('/')))
        parent += QLatin1Char('/');
    return real.startsWith(parent);
}

bool itemIsEarlierThan(const QString &path, const QDateTime &cutoff, const QString &dateKey)
{
    struct statx info
    {};
    if (path.isEmpty() || ::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0,
                                  STATX_MTIME | STATX_BTIME, &info) != 0) {
        logLine(lcUtil(), QStringLiteral("itemIsEarlierThan -> file may NOT exist anymore?????"));
        return false;
    }
    if (!cutoff.isValid())
        return false;

    Instant date = toInstant(info.stx_mtime);
    if (dateKey.compare(QLatin1String("NSFileCreationDate"), Qt::CaseInsensitive) == 0 &&
        (info.stx_mask & STATX_BTIME)) {
        const Instant created = toInstant(info.stx_btime);
        if (created == kZeroDate1904) {
            logLine(lcUtil(),
                    QStringLiteral("Inside itemIsEarlierThan => fileCreationDate isEqualToDate "
                                   "zeroDate: [%1]")
                        .arg(describe(created)));
        } else if (created == kZeroDate1970) {
            logLine(lcUtil(),
                    QStringLiteral("Inside itemIsEarlierThan => fileCreationDate isEqualToDate "
                                   "zeroDate2: [%1]")
                        .arg(describe(created)));
        } else {
            date = created;
        }
    }
    return date < toInstant(cutoff);
}

void moveFileToUserTrash(const QString &path)
{
    const QString standard = QDir::cleanPath(expandTilde(path));
    const QFileInfo item(standard);
    const bool present = item.exists() || item.isSymLink();
    if (path.isEmpty() || !present ||
        ::access(QFile::encodeName(item.absolutePath()).constData(), W_OK | X_OK) != 0) {
        logLine(lcUtil(),
                QStringLiteral("moveFileToUserTrash => item [%1] is NOT deletable...").arg(path));
        return;
    }
    QString trashed;
    if (!Trash::moveToTrash(path, &trashed)) {
        logLine(lcUtil(),
                QStringLiteral("moveFileToUserTrash -> Move operation did not succeed! for [%1]")
                    .arg(Trash::trashFolder() + QStringLiteral("/files/") + item.fileName()));
    }
}

bool setPermission(const QString &path, mode_t mode)
{
    return setPermissionInC(QFile::encodeName(path).constData(), mode);
}

bool setPermissionInC(const char *path, mode_t mode)
{
    if (!path)
        return false;
    struct stat st
    {};
    if (::stat(path, &st) != 0) {
        std::printf("\nsetPermission => Unable to get info on itemPath = [%s]!!!\n", path);
        std::fflush(stdout);
        return false;
    }
    const mode_t newMode = (st.st_mode & ~mode_t(0777)) | (mode & 0777);
    if (::chmod(path, newMode) != 0) {
        const int code = errno;
        std::printf(
            "setPermission => chmod newFolderMode FAILED with errorCode = [%i] = [0x%04x]\n", code,
            unsigned(code));
        std::fflush(stdout);
        return false;
    }
    return true;
}

bool createDirectoryIfMissing(const QString &path)
{
    const QString expanded = expandTilde(path);
    logLine(lcUtil(),
            QStringLiteral("Inside createDirectoryIfMissing -> withPath=[%1]").arg(expanded));
    if (expanded.isEmpty())
        return false;
    struct stat st
    {};
    if (::stat(QFile::encodeName(expanded).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        // Only folders of our own; the home folder keeps its mode.
        if (st.st_uid == ::geteuid() && !isHomeOrAncestor(expanded))
            setPermission(expanded, 0777);
        return true;
    }
    return makeDirectories(expanded);
}

} // namespace kivo
