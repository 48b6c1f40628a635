#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

// File work on the customer's working slideshow folder. A file enters the
// folder under a hidden temporary name (".kivo-*.part", "pending") and is
// renamed into place, so a display never reads half a slide. Nothing here
// follows a symbolic link out of the folder. Safe on any thread.
class WorkingFolder
{
public:
    // Makes sure folder is a real folder, creating it when missing; a
    // symbolic link in its place is refused (the removals would follow it).
    static bool prepare(const QString &folder);

    // Removes the folder's content without following symbolic links:
    // pendingOnly, only the pending files; otherwise everything but them.
    static void removeContent(const QString &folder, bool pendingOnly);

    // Slides of a folder: non-hidden regular files with the extension "jpg"
    // (any letter case), sorted by name.
    static QStringList slidesIn(const QString &folder);

    // A verified copy of source under a new pending name in folder: its path,
    // or empty (error set, nothing left behind).
    static QString copyToPending(const QString &source, const QString &folder, QString *error);

    // Renames a pending file to `to`, replacing what is there; a pending file
    // that cannot be renamed is removed.
    static bool renameIntoPlace(const QString &from, const QString &to, QString *error);

    // copyToPending into dest's folder, then renameIntoPlace to dest.
    static bool copyIntoPlace(const QString &source, const QString &dest, QString *error);

    // Removes each path; a failure is logged and the next path tried.
    static void deleteFilesInArray(const QStringList &paths);
};

} // namespace kivo
