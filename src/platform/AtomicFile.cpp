#include "AtomicFile.h"

#include "Log.h"
#include "PlatformLog.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

// The process umask, read without changing it (umask() itself is not safe to
// call while other threads create files).
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
        }
    }
    return 022;
}

bool fail(QString *error, const QString &what, int err)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
    return false;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        return fail(error, QStringLiteral("no file name in \"%1\"").arg(path), EINVAL);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    QByteArray temp = folder + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";

    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create a temporary file beside \"%1\"").arg(path),
                    errno);

    struct stat existing;
    const mode_t mode = ::stat(target.constData(), &existing) == 0 ? (existing.st_mode & 07777)
                                                                   : (0666 & ~currentUmask());
    const auto abandon = [&](const QString &what) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(error, what, err);
    };
    if (::fchmod(fd, mode) != 0)
        return abandon(QStringLiteral("cannot set the mode of \"%1\"").arg(path));
    if (!writeAll(fd, bytes))
        return abandon(QStringLiteral("cannot write \"%1\"").arg(path));
    if (::fsync(fd) != 0)
        return abandon(QStringLiteral("cannot flush \"%1\"").arg(path));
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(error, QStringLiteral("cannot close \"%1\"").arg(path), err);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(error, QStringLiteral("cannot rename into \"%1\"").arg(path), err);
    }
    // The new file is in place; a failure to flush the folder only weakens the
    // guarantee after a power loss, so it is logged and the write stands.
    if (!syncFolder(folder))
        logLine(lcPlatform(),
                QStringLiteral("writeFileAtomically: cannot flush the folder of \"%1\": %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

} // namespace kivo
