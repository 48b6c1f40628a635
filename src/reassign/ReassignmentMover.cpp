#include "ReassignmentMover.h"

#include "ReassignLog.h"
#include "platform/FileOps.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>

namespace kivo {

namespace {
void logFailure(const QString &photo, const QString &newFolder, const QString &error)
{
    logLine(lcReassign(),
            QStringLiteral("%1->%2...moveItemAtPath FROM: [%3] TO: [%4] returned Error:[%5]")
                .arg(QStringLiteral("ReAssignCodeWindowController"), QStringLiteral("doMoveImages"),
                     photo, newFolder, error));
}
} // namespace

QStringList ReassignmentMover::moveImages(const QStringList &photos, const QString &newFolder)
{
    QStringList moved;
    const QFileInfo folder(newFolder);
    for (const QString &photo : photos) {
        const QString name = QFileInfo(photo).fileName();
        QString error;
        if (name.isEmpty() || QFileInfo(photo).isDir()) {
            logFailure(photo, newFolder, QStringLiteral("not a photo file"));
            continue;
        }
        // The parent folder is not created: a missing code folder fails every move.
        if (!folder.isDir()) {
            logFailure(photo, newFolder, QStringLiteral("the folder does not exist"));
            continue;
        }
        if (!FileOps::moveNoReplace(photo, QDir(newFolder).filePath(name), &error)) {
            logFailure(photo, newFolder, error);
            continue;
        }
        moved << name;
    }
    return moved;
}

} // namespace kivo
