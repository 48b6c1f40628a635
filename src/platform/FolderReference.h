#pragma once

#include <QByteArray>
#include <QString>

namespace kivo {

// A remembered file or folder that is found again after it was renamed or
// moved elsewhere in the same folder tree. The reference is an opaque,
// versioned blob holding the path, the device and inode numbers, the birth
// time where the file system records one, and the kind (folder or file).
//
// Resolving takes the stored path when it still names the same item;
// otherwise it searches outward from the nearest existing ancestor of the
// stored path: that ancestor's tree first, then the trees of its parents, a
// few levels up. The search is bounded in depth and in the number of entries
// it looks at, stays on the item's device and never follows symbolic links.
// A deleted item does not resolve; neither does a malformed blob.
class FolderReference
{
public:
    // The reference for an existing item; empty when path is empty or missing.
    static QByteArray create(const QString &path);

    // Finds the item. On success resolvedPath receives its current path and,
    // when given, updatedBlob receives a fresh reference if the stored one was
    // out of date (and is cleared otherwise).
    static bool resolve(const QByteArray &blob, QString *resolvedPath,
                        QByteArray *updatedBlob = nullptr);

    // The path stored in a blob (empty for a malformed one), for log lines.
    static QString storedPath(const QByteArray &blob);

    // Search limits.
    static constexpr int kMaxUpLevels = 4;
    static constexpr int kMaxDepth = 8;
    static constexpr int kMaxEntries = 50000;
};

} // namespace kivo
