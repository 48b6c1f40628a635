#pragma once

#include <QDateTime>
#include <QString>

#include <sys/types.h>

namespace kivo {

// True when the file at `path` decodes completely as an image. Decided by the
// content, not the name: JPEG data is decoded in full (at 1/8 scale) and any
// decoder warning (truncated or corrupt data) fails it; other formats go
// through QImageReader, refusing images too large to decode safely.
bool IsValidImageObject(const QString &path);

// True when the file's date (named by `dateKey`: "NSFileModificationDate",
// the default when empty, or "NSFileCreationDate", matched without regard to
// case) lies strictly before `cutoff`. Symbolic links are followed. The
// creation date is the file's birth time where the file system records it,
// else its modification time; a creation date of 1904-01-01 or 1970-01-01 UTC
// also falls back to the modification time. An unreadable file yields false.
bool itemIsEarlierThan(const QString &path, const QDateTime &cutoff,
                       const QString &dateKey = QString());

// Moves the item into the user's trash (see Trash); never replaces anything
// there. Failures are logged.
void moveFileToUserTrash(const QString &path);

// Replaces the nine permission bits of `path` with those of `mode`, keeping the
// file type, set-user-ID, set-group-ID and sticky bits.
bool setPermission(const QString &path, mode_t mode);
bool setPermissionInC(const char *path, mode_t mode);

// Makes sure the directory exists (a leading "~" is the home folder), creating
// missing parents. Folders it creates get mode 0777; an existing folder owned
// by this user is widened to 0777, except the home folder and its ancestors.
// True when the directory exists afterwards; a file in the way yields false.
bool createDirectoryIfMissing(const QString &path);

// "~" and "~/..." expanded to the home folder; other paths unchanged.
QString expandTilde(const QString &path);

// True when path, symbolic links followed, lies inside the folder it is
// named in: a link to a sibling is fine, a link out of that folder is not.
// False when path does not exist.
bool staysInsideParentFolder(const QString &path);

} // namespace kivo
