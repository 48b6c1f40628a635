#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kivo {

// One reassignment: photos move from one code folder to another of the same
// day and the change record names them. The record is written (as ".tmp")
// before anything moves, so a record that cannot be written moves nothing;
// photos that cannot be moved or recorded stay where they are. The result
// says what went wrong in words for the operator.
class PhotoReassignment
{
public:
    struct Result
    {
        QStringList moved;  // file names, in the order they moved
        QStringList stayed; // "file name: reason" for each photo that stayed
        QString recordPath; // the record in place; empty when there is none
        QString failure;    // why nothing moved or the record is not in place

        // The alert's headline and text; an empty headline when all went well.
        QString headline() const;
        QString text() const;
    };

    static Result run(const QString &oldFolder, const QString &newFolder, const QStringList &photos,
                      const QDateTime &time);

    // lines, one per line, the ones past max summed up in a last line.
    static QString listing(const QStringList &lines, int max = 10);
};

} // namespace kivo
