#pragma once

#include <QString>

namespace kivo {

// Moves that never overwrite and never lose data.
class FileOps
{
public:
    // Moves a file or a whole folder from `from` to `to`. Fails, leaving both
    // untouched, when `to` already exists. Within one file system the move is a
    // single rename; across file systems the item is copied (mode and
    // modification time kept), synced, compared with the source and only then
    // is the source removed. On any failure before that point the source is
    // intact and the partial destination is removed. The parent folder of `to`
    // must exist. `error`, when given, receives a readable reason on failure.
    static bool moveNoReplace(const QString &from, const QString &to, QString *error = nullptr);

    // Copies one regular file to `to`, which must not exist yet: writes, syncs,
    // compares the copy with the source byte for byte, keeps mode and
    // modification time. A failed copy leaves nothing behind.
    static bool copyFileVerified(const QString &from, const QString &to, QString *error = nullptr);
};

} // namespace kivo
