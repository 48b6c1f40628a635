#pragma once

#include <QDateTime>
#include <QString>

namespace kivo {

// The user's trash in the freedesktop.org layout: $XDG_DATA_HOME/Trash (default
// ~/.local/share/Trash) with the trashed items in files/ and one
// info/<name>.trashinfo per item (original path and deletion date).
class Trash
{
public:
    // The trash folder; it may not exist yet.
    static QString trashFolder();

    // Moves a file or folder into the trash without ever replacing anything
    // there. The item keeps its name unless that name is taken; then the local
    // date and time " yyyyMMdd_HHmmss" is appended to the whole name ("a.log"
    // becomes "a.log 20120609_101500"), and " 2", " 3", ... after that when
    // even that name is taken. Creates files/ and info/ when missing.
    // `trashedPath` receives the item's path inside the trash. `now` stands in
    // for the current time when valid.
    static bool moveToTrash(const QString &path, QString *trashedPath = nullptr,
                            const QDateTime &now = QDateTime());
};

} // namespace kivo
