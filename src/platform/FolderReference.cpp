#include "FolderReference.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace kivo {

namespace {

constexpr char kMagic[4] = {'K', 'V', 'F', 'R'};
constexpr quint8 kVersion = 1;
constexpr qsizetype kHeaderSize = 40;
constexpr qsizetype kMaxPathBytes = 4096;

enum Kind : quint8
{
    KindFolder = 1,
    KindFile = 2,
    KindOther = 3
};

struct Identity
{
    quint64 device = 0;
    quint64 inode = 0;
    quint8 kind = 0;
    qint64 birthSeconds = 0;
    quint32 birthNanoseconds = 0;
    bool hasBirth = false;

    bool sameItem(const Identity &other) const
    {
        if (device != other.device || inode != other.inode || kind != other.kind)
            return false;
        // The birth time tells a reused inode number from the original item.
        if (hasBirth && other.hasBirth)
            return birthSeconds == other.birthSeconds && birthNanoseconds == other.birthNanoseconds;
        return true;
    }
};

struct Reference
{
    Identity identity;
    QByteArray path; // absolute, in the file system's encoding
};

std::optional<Identity> identityOf(const QByteArray &path, bool followLinks)
{
    struct statx sx;
    const int flags = followLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::statx(AT_FDCWD, path.constData(), flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    Identity id;
    id.device = (quint64(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    id.inode = sx.stx_ino;
    id.kind = S_ISDIR(sx.stx_mode) ? KindFolder : S_ISREG(sx.stx_mode) ? KindFile : KindOther;
    if (sx.stx_mask & STATX_BTIME) {
        id.hasBirth = true;
        id.birthSeconds = sx.stx_btime.tv_sec;
        id.birthNanoseconds = sx.stx_btime.tv_nsec;
    }
    return id;
}

QByteArray encode(const Reference &ref)
{
    QByteArray blob(kHeaderSize, '\0');
    char *p = blob.data();
    std::memcpy(p, kMagic, 4);
    p[4] = char(kVersion);
    p[5] = char(ref.identity.kind);
    p[6] = char(ref.identity.hasBirth ? 1 : 0);
    qToBigEndian<quint64>(ref.identity.device, p + 8);
    qToBigEndian<quint64>(ref.identity.inode, p + 16);
    qToBigEndian<qint64>(ref.identity.birthSeconds, p + 24);
    qToBigEndian<quint32>(ref.identity.birthNanoseconds, p + 32);
    qToBigEndian<quint32>(quint32(ref.path.size()), p + 36);
    return blob + ref.path;
}

std::optional<Reference> decode(const QByteArray &blob)
{
    if (blob.size() <= kHeaderSize || blob.size() > kHeaderSize + kMaxPathBytes)
        return std::nullopt;
    const char *p = blob.constData();
    if (std::memcmp(p, kMagic, 4) != 0 || quint8(p[4]) != kVersion)
        return std::nullopt;
    Reference ref;
    ref.identity.kind = quint8(p[5]);
    ref.identity.hasBirth = p[6] != 0;
    ref.identity.device = qFromBigEndian<quint64>(p + 8);
    ref.identity.inode = qFromBigEndian<quint64>(p + 16);
    ref.identity.birthSeconds = qFromBigEndian<qint64>(p + 24);
    ref.identity.birthNanoseconds = qFromBigEndian<quint32>(p + 32);
    const quint32 length = qFromBigEndian<quint32>(p + 36);
    if (qsizetype(length) != blob.size() - kHeaderSize)
        return std::nullopt;
    ref.path = blob.mid(kHeaderSize);
    if (ref.identity.kind < KindFolder || ref.identity.kind > KindOther ||
        !ref.path.startsWith('/') || ref.path.contains('\0'))
        return std::nullopt;
    return ref;
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray child(const QByteArray &folder, const char *name)
{
    return folder == "/" ? QByteArray("/") + name : folder + '/' + name;
}

// Breadth-first search of one tree for the item, skipping the subtree
// already searched. Counts the entries it looks at against budget.
std::optional<QByteArray> searchTree(const QByteArray &root, const QByteArray &skip,
                                     const Identity &target, int &budget)
{
    std::deque<std::pair<QByteArray, int>> queue{{root, 0}};
    while (!queue.empty() && budget > 0) {
        const auto [folder, depth] = queue.front();
        queue.pop_front();
        DIR *dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        while (const dirent *entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            if (--budget <= 0)
                break;
            const QByteArray path = child(folder, entry->d_name);
            const bool maybeFolder = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
            if (entry->d_ino != target.inode &&
                !(maybeFolder && depth + 1 < FolderReference::kMaxDepth))
                continue;
            const auto id = identityOf(path, false);
            if (!id)
                continue;
            if (id->sameItem(target)) {
                ::closedir(dir);
                return path;
            }
            if (id->kind == KindFolder && id->device == target.device && path != skip &&
                depth + 1 < FolderReference::kMaxDepth)
                queue.emplace_back(path, depth + 1);
        }
        ::closedir(dir);
    }
    return std::nullopt;
}

std::optional<QByteArray> search(const Reference &ref)
{
    QByteArray folder = parentOf(ref.path);
    for (;;) {
        const auto id = identityOf(folder, false);
        if ((id && id->kind == KindFolder) || folder == "/")
            break;
        folder = parentOf(folder);
    }
    int budget = FolderReference::kMaxEntries;
    QByteArray searched;
    for (int level = 0; level <= FolderReference::kMaxUpLevels && budget > 0; ++level) {
        if (auto found = searchTree(folder, searched, ref.identity, budget))
            return found;
        if (folder == "/")
            break;
        searched = folder;
        folder = parentOf(folder);
    }
    return std::nullopt;
}

} // namespace

QByteArray FolderReference::create(const QString &path)
{
    if (path.isEmpty())
        return {};
    Reference ref;
    ref.path = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (ref.path.size() > kMaxPathBytes)
        return {};
    const auto id = identityOf(ref.path, true);
    if (!id)
        return {};
    ref.identity = *id;
    return encode(ref);
}

bool FolderReference::resolve(const QByteArray &blob, QString *resolvedPath,
                              QByteArray *updatedBlob)
{
    const auto ref = decode(blob); // before clearing: blob may be *updatedBlob
    if (updatedBlob)
        updatedBlob->clear();
    if (!ref)
        return false;
    const auto current = identityOf(ref->path, true);
    if (current && current->sameItem(ref->identity)) {
        if (resolvedPath)
            *resolvedPath = QFile::decodeName(ref->path);
        return true;
    }
    const auto found = search(*ref);
    if (!found)
        return false;
    if (resolvedPath)
        *resolvedPath = QFile::decodeName(*found);
    if (updatedBlob)
        *updatedBlob = encode({ref->identity, *found});
    return true;
}

QString FolderReference::storedPath(const QByteArray &blob)
{
    const auto ref = decode(blob);
    return ref ? QFile::decodeName(ref->path) : QString();
}

} // namespace kivo
