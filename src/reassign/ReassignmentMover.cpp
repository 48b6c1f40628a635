#include "ReassignmentMover.h"

#include "ReassignLog.h"
#include "RecordableName.h"
#include "platform/FileOps.h"
#include "platform/Log.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace kivo {

namespace {
void logFailure(const QString &photo, const QString &newFolder, const QString &error,
                QStringList *stayed)
{
    logLine(lcReassign(),
            QStringLiteral("%1->%2...moveItemAtPath FROM: [%3] TO: [%4] returned Error:[%5]")
                .arg(QStringLiteral("ReAssignCodeWindowController"), QStringLiteral("doMoveImages"),
                     photo, newFolder, error));
    if (stayed)
        *stayed << RecordableName::shown(QFileInfo(photo).fileName()) + QLatin1String(": ") + error;
}
} // namespace

QString ReassignmentMover::problemWith(const QString &photo, const QString &newFolder)
{
    const QFileInfo info(photo);
    const QString name = info.fileName();
    if (name.isEmpty() || info.isDir())
        return QStringLiteral("not a photo file");
    if (!RecordableName::isRecordable(name))
        return QStringLiteral("its name cannot be written in the change record");
    if (!info.exists() && !info.isSymLink())
        return QStringLiteral("the photo is gone");
    // The parent folder is not created: a missing code folder fails every move.
    if (!QFileInfo(newFolder).isDir())
        return QStringLiteral("the new code's folder does not exist");
    // A code folder that is a link out of its day would take the photo out of
    // the store.
    if (!staysInsideParentFolder(newFolder))
        return QStringLiteral("the new code's folder leads outside its day folder");
    const QFileInfo there(QDir(newFolder).filePath(name));
    if (there.exists() || there.isSymLink())
        return QStringLiteral("the new code already has a file of that name");
    return QString();
}

QStringList ReassignmentMover::movable(const QStringList &photos, const QString &newFolder,
                                       QStringList *stayed)
{
    QStringList ready;
    for (const QString &photo : photos) {
        const QString problem = problemWith(photo, newFolder);
        if (problem.isEmpty())
            ready << photo;
        else
            logFailure(photo, newFolder, problem, stayed);
    }
    return ready;
}

QStringList ReassignmentMover::moveImages(const QStringList &photos, const QString &newFolder,
                                          QStringList *stayed)
{
    QStringList moved;
    for (const QString &photo : movable(photos, newFolder, stayed)) {
        const QString name = QFileInfo(photo).fileName();
        QString error;
        if (FileOps::moveNoReplace(photo, QDir(newFolder).filePath(name), &error))
            moved << name;
        else
            logFailure(photo, newFolder, error, stayed);
    }
    return moved;
}

} // namespace kivo
