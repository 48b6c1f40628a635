#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

// Moves photos into another code's folder one at a time. A photo never
// replaces a file already there: it then stays where it is. Each failure is
// logged and the remaining photos are still tried.
class ReassignmentMover
{
public:
    // Moves each photo to newFolder / its file name, in order; returns the file
    // names of the photos that moved, in that order. The folder must exist.
    static QStringList moveImages(const QStringList &photos, const QString &newFolder);
};

} // namespace kivo
