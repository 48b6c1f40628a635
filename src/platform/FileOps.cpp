#include "FileOps.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kivo {

namespace {

constexpr size_t kChunk = 1 << 20;

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QString show(const QByteArray &path)
{
    return QFile::decodeName(path);
}

// Closes a descriptor when it goes out of scope.
struct Fd
{
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    // Closes now and reports a late write error (NFS and the like report them here).
    bool close()
    {
        const int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }
};

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

ssize_t preadFull(int fd, char *buf, size_t size, off_t offset)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, buf + got, size - got, offset + off_t(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

// Byte-for-byte comparison of two open files of equal, known size.
bool sameContent(int a, int b, off_t size)
{
    std::unique_ptr<char[]> bufA(new char[kChunk]);
    std::unique_ptr<char[]> bufB(new char[kChunk]);
    for (off_t offset = 0; offset < size;) {
        const ssize_t na = preadFull(a, bufA.get(), kChunk, offset);
        const ssize_t nb = preadFull(b, bufB.get(), kChunk, offset);
        if (na <= 0 || na != nb || std::memcmp(bufA.get(), bufB.get(), size_t(na)) != 0)
            return false;
        offset += na;
    }
    return true;
}

bool copyBytes(int src, int dst)
{
    std::unique_ptr<char[]> buf(new char[kChunk]);
    for (;;) {
        const ssize_t n = ::read(src, buf.get(), kChunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        if (!writeAll(dst, buf.get(), size_t(n)))
            return false;
    }
}

// Copies a regular file whose stat is `st` to `to` (created exclusively).
bool copyRegular(const QByteArray &from, const QByteArray &to, const struct stat &st,
                 QString *error)
{
    Fd src(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (src.fd < 0)
        return fail(error, QStringLiteral("cannot open %1: %2").arg(show(from), errnoText(errno)));
    Fd dst(::open(to.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (dst.fd < 0)
        return fail(error, QStringLiteral("cannot create %1: %2").arg(show(to), errnoText(errno)));

    QString reason;
    struct stat now
    {};
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (!copyBytes(src.fd, dst.fd))
        reason = QStringLiteral("copy failed: %1").arg(errnoText(errno));
    else if (::fsync(dst.fd) != 0)
        reason = QStringLiteral("sync failed: %1").arg(errnoText(errno));
    else if (::fstat(src.fd, &now) != 0 || now.st_size != st.st_size ||
             now.st_mtim.tv_sec != st.st_mtim.tv_sec || now.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
        reason = QStringLiteral("the source changed while it was copied");
    else if (::fstat(dst.fd, &now) != 0 || now.st_size != st.st_size ||
             !sameContent(src.fd, dst.fd, st.st_size))
        reason = QStringLiteral("the copy differs from the source");
    else if (::fchmod(dst.fd, st.st_mode & 07777) != 0 || ::futimens(dst.fd, times) != 0)
        reason = QStringLiteral("cannot set mode or times: %1").arg(errnoText(errno));
    else if (!dst.close())
        reason = QStringLiteral("close failed: %1").arg(errnoText(errno));

    if (reason.isEmpty())
        return true;
    ::unlink(to.constData());
    return fail(error, QStringLiteral("%1 -> %2: %3").arg(show(from), show(to), reason));
}

std::vector<QByteArray> listFolder(const QByteArray &path, bool *ok)
{
    std::vector<QByteArray> names;
    DIR *dir = ::opendir(path.constData());
    *ok = dir != nullptr;
    if (!dir)
        return names;
    errno = 0;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    *ok = errno == 0;
    ::closedir(dir);
    return names;
}

// Removes a file, link or whole folder; true when nothing is left.
bool removeTree(const QByteArray &path)
{
    struct stat st
    {};
    if (::lstat(path.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.constData()) == 0;
    bool ok = false;
    bool all = true;
    for (const QByteArray &name : listFolder(path, &ok))
        all = removeTree(path + '/' + name) && all;
    return ok && all && ::rmdir(path.constData()) == 0;
}

bool copyTree(const QByteArray &from, const QByteArray &to, QString *error);

bool copyFolder(const QByteArray &from, const QByteArray &to, const struct stat &st, QString *error)
{
    if (::mkdir(to.constData(), 0700) != 0)
        return fail(error, QStringLiteral("cannot create %1: %2").arg(show(to), errnoText(errno)));
    bool ok = false;
    const std::vector<QByteArray> names = listFolder(from, &ok);
    if (!ok)
        return fail(error, QStringLiteral("cannot list %1: %2").arg(show(from), errnoText(errno)));
    for (const QByteArray &name : names) {
        if (!copyTree(from + '/' + name, to + '/' + name, error))
            return false;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    Fd dir(::open(to.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0 || ::fsync(dir.fd) != 0 || ::fchmod(dir.fd, st.st_mode & 07777) != 0 ||
        ::futimens(dir.fd, times) != 0)
        return fail(error, QStringLiteral("cannot finish %1: %2").arg(show(to), errnoText(errno)));
    return true;
}

bool copyTree(const QByteArray &from, const QByteArray &to, QString *error)
{
    struct stat st
    {};
    if (::lstat(from.constData(), &st) != 0)
        return fail(error, QStringLiteral("cannot read %1: %2").arg(show(from), errnoText(errno)));
    if (S_ISREG(st.st_mode))
        return copyRegular(from, to, st, error);
    if (S_ISDIR(st.st_mode))
        return copyFolder(from, to, st, error);
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(qsizetype(st.st_size) + 1, '\0');
        const ssize_t n = ::readlink(from.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size())
            return fail(error, QStringLiteral("cannot read link %1").arg(show(from)));
        target.truncate(n);
        if (::symlink(target.constData(), to.constData()) != 0)
            return fail(error,
                        QStringLiteral("cannot create %1: %2").arg(show(to), errnoText(errno)));
        return true;
    }
    return fail(error, QStringLiteral("cannot copy special file %1").arg(show(from)));
}

bool exists(const QByteArray &path)
{
    struct stat st
    {};
    return ::lstat(path.constData(), &st) == 0 || errno != ENOENT;
}

bool moveAcrossFileSystems(const QByteArray &from, const QByteArray &to, QString *error)
{
    if (exists(to))
        return fail(error, QStringLiteral("%1 already exists").arg(show(to)));
    if (!copyTree(from, to, error)) {
        removeTree(to);
        return false;
    }
    if (removeTree(from))
        return true;
    // The verified copy is complete; keep it, since part of the source may be gone.
    return fail(
        error,
        QStringLiteral("copied to %1 but could not remove all of %2").arg(show(to), show(from)));
}

// Rename without replacing, for file systems that lack RENAME_NOREPLACE.
bool moveWithoutNoReplace(const QByteArray &from, const QByteArray &to, bool isDir, QString *error)
{
    if (!isDir) {
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) == 0)
                return true;
            const int code = errno;
            ::unlink(to.constData());
            return fail(error,
                        QStringLiteral("cannot remove %1: %2").arg(show(from), errnoText(code)));
        }
        if (errno == EEXIST)
            return fail(error, QStringLiteral("%1 already exists").arg(show(to)));
        if (errno == EXDEV)
            return moveAcrossFileSystems(from, to, error);
    }
    if (exists(to))
        return fail(error, QStringLiteral("%1 already exists").arg(show(to)));
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    if (errno == EXDEV)
        return moveAcrossFileSystems(from, to, error);
    return fail(
        error,
        QStringLiteral("cannot move %1 to %2: %3").arg(show(from), show(to), errnoText(errno)));
}

} // namespace

bool FileOps::moveNoReplace(const QString &from, const QString &to, QString *error)
{
    if (from.isEmpty() || to.isEmpty())
        return fail(error, QStringLiteral("empty path"));
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    struct stat st
    {};
    if (::lstat(src.constData(), &st) != 0)
        return fail(error, QStringLiteral("cannot read %1: %2").arg(from, errnoText(errno)));

    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return true;
    switch (errno) {
    case EEXIST:
    case ENOTEMPTY:
        return fail(error, QStringLiteral("%1 already exists").arg(to));
    case EXDEV:
        return moveAcrossFileSystems(src, dst, error);
    case EINVAL:
    case ENOSYS:
    case ENOTSUP:
        return moveWithoutNoReplace(src, dst, S_ISDIR(st.st_mode), error);
    default:
        return fail(error,
                    QStringLiteral("cannot move %1 to %2: %3").arg(from, to, errnoText(errno)));
    }
}

bool FileOps::copyFileVerified(const QString &from, const QString &to, QString *error)
{
    const QByteArray src = QFile::encodeName(from);
    struct stat st
    {};
    if (from.isEmpty() || to.isEmpty() || ::stat(src.constData(), &st) != 0)
        return fail(error, QStringLiteral("cannot read %1").arg(from));
    if (!S_ISREG(st.st_mode))
        return fail(error, QStringLiteral("%1 is not a regular file").arg(from));
    return copyRegular(src, QFile::encodeName(to), st, error);
}

} // namespace kivo
