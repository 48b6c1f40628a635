#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

// Moves photos into another code's folder one at a time. A photo never
// replaces a file already there, and a photo whose name the change record
// cannot carry is never moved: it then stays where it is. Each failure is
// logged and noted as "file name: reason"; the remaining photos are still tried.
// A new folder that is a symbolic link out of its own parent folder (the day)
// takes no photo.
class ReassignmentMover
{
public:
    // Why photo cannot be moved into newFolder; empty when nothing stands in the way.
    static QString problemWith(const QString &photo, const QString &newFolder);
    // The photos nothing stands in the way of, in order; the others are
    // logged and noted in stayed.
    static QStringList movable(const QStringList &photos, const QString &newFolder,
                               QStringList *stayed = nullptr);
    // Moves each photo to newFolder / its file name, in order; returns the file
    // names of the photos that moved, in that order. The folder must exist.
    static QStringList moveImages(const QStringList &photos, const QString &newFolder,
                                  QStringList *stayed = nullptr);
};

} // namespace kivo
