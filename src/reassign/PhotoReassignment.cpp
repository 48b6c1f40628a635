#include "PhotoReassignment.h"

#include "ChangeRecord.h"
#include "ReassignmentMover.h"

#include <QFileInfo>

namespace kivo {

PhotoReassignment::Result PhotoReassignment::run(const QString &oldFolder, const QString &newFolder,
                                                 const QStringList &photos, const QDateTime &time)
{
    Result result;
    const QStringList ready = ReassignmentMover::movable(photos, newFolder, &result.stayed);
    if (ready.isEmpty()) {
        result.failure = QStringLiteral("None of the photos can be moved.");
        return result;
    }
    QStringList names;
    for (const QString &photo : ready)
        names << QFileInfo(photo).fileName();
    ChangeRecord record(oldFolder, newFolder, time);
    if (!record.prepare(names)) {
        result.failure = QStringLiteral("The change record cannot be written in %1: %2.")
                             .arg(ChangeRecord::codeChangesFolder(), record.error());
        return result;
    }
    result.moved = ReassignmentMover::moveImages(ready, newFolder, &result.stayed);
    if (result.moved.isEmpty()) {
        record.discard();
        result.failure = QStringLiteral("None of the photos could be moved.");
    } else if (record.commit(result.moved)) {
        result.recordPath = record.path();
    } else {
        result.failure =
            QStringLiteral("The photos moved, but their change record is not in place: %1.")
                .arg(record.error());
        if (QFileInfo::exists(record.temporaryPath()))
            result.failure += QStringLiteral("\nIt is kept as %1.").arg(record.temporaryPath());
    }
    return result;
}

QString PhotoReassignment::Result::headline() const
{
    if (!failure.isEmpty())
        return moved.isEmpty() ? QStringLiteral("NOTHING RE-ASSIGNED !!")
                               : QStringLiteral("CHANGE RECORD NOT WRITTEN !!");
    return stayed.isEmpty() ? QString() : QStringLiteral("SOME PHOTOS NOT RE-ASSIGNED !!");
}

QString PhotoReassignment::Result::text() const
{
    QStringList parts;
    if (!failure.isEmpty())
        parts << failure;
    if (moved.isEmpty())
        parts << QStringLiteral("Nothing has been changed.");
    else if (!failure.isEmpty())
        parts << QStringLiteral("Moved to the new code:\n") + listing(moved);
    if (!stayed.isEmpty())
        parts << QStringLiteral("These photos stay with the old code:\n") + listing(stayed);
    return parts.join(QStringLiteral("\n\n"));
}

QString PhotoReassignment::listing(const QStringList &lines, int max)
{
    QStringList shown = lines.mid(0, max);
    if (lines.size() > max)
        shown << QStringLiteral("... and %1 more").arg(lines.size() - max);
    return shown.join(QLatin1Char('\n'));
}

} // namespace kivo
