#include "Trash.h"

#include "AppPaths.h"

#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

constexpr int kMaxNameTries = 1000;

bool makeFolder(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || QFileInfo(path).isDir();
}

// Creates info/<name>.trashinfo exclusively, which reserves `name` in the trash.
bool reserveName(const QString &trash, const QString &name, const QByteArray &content)
{
    if (QFileInfo::exists(trash + QStringLiteral("/files/") + name) ||
        QFileInfo(trash + QStringLiteral("/files/") + name).isSymLink())
        return false;
    const QByteArray info =
        QFile::encodeName(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
    const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    if (::close(fd) != 0 || !ok) {
        ::unlink(info.constData());
        return false;
    }
    return true;
}

QString candidateName(const QString &name, const QDateTime &now, int attempt)
{
    if (attempt == 0)
        return name;
    QString result = name + now.toString(QStringLiteral(" yyyyMMdd_HHmmss"));
    if (attempt > 1)
        result += QLatin1Char(' ') + QString::number(attempt);
    return result;
}

} // namespace

QString Trash::trashFolder()
{
    return AppPaths::xdgBaseDir("XDG_DATA_HOME", QStringLiteral(".local/share")) +
           QStringLiteral("/Trash");
}

bool Trash::moveToTrash(const QString &path, QString *trashedPath, const QDateTime &now)
{
    if (path.isEmpty())
        return false;
    const QFileInfo item(QDir::cleanPath(path));
    const QString name = item.fileName();
    if (name.isEmpty() || (!item.exists() && !item.isSymLink()))
        return false;
    const QString trash = trashFolder();
    if (!makeFolder(trash) || !makeFolder(trash + QStringLiteral("/files")) ||
        !makeFolder(trash + QStringLiteral("/info")))
        return false;

    const QDateTime when = now.isValid() ? now.toLocalTime() : QDateTime::currentDateTime();
    const QByteArray content =
        "[Trash Info]\nPath=" + QUrl::toPercentEncoding(item.absoluteFilePath(), "/") +
        "\nDeletionDate=" + when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";

    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
        const QString candidate = candidateName(name, when, attempt);
        if (!reserveName(trash, candidate, content))
            continue;
        const QString target = trash + QStringLiteral("/files/") + candidate;
        QString error;
        if (FileOps::moveNoReplace(item.filePath(), target, &error)) {
            if (trashedPath)
                *trashedPath = target;
            return true;
        }
        QFile::remove(trash + QStringLiteral("/info/") + candidate + QStringLiteral(".trashinfo"));
        if (QFileInfo::exists(target))
            continue; // taken meanwhile: try the next name
        return false;
    }
    return false;
}

} // namespace kivo
