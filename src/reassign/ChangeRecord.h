#pragma once

#include "OrderedDictionary.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kivo {

// The change record left for the parent application after photos moved from
// one code to another: an XML file in ~/.Corvel/CodeChanges named by the local
// time of writing, "yyyyMMddHHmmss_reassigned.xml". A second record within the
// same second gets "yyyyMMddHHmmss_<n>_reassigned.xml" (n = 2, 3, ...), so the
// name still starts with the time and ends with "_reassigned.xml" and no record
// ever replaces another.
class ChangeRecord
{
public:
    static constexpr char kNameSuffix[] = "_reassigned.xml";
    static constexpr char kTimePattern[] = "yyyyMMddHHmmss";

    // "~/.Corvel/CodeChanges" with the home folder expanded; not created.
    static QString codeChangesFolder();
    // The record folder, created with missing parents when absent; a null
    // string (logged) when it cannot be created or is not a folder.
    static QString createCodeChangesPath();

    // Name of the record written at time; sequence 1 is the plain name.
    static QString recordFileName(const QDateTime &time, int sequence = 1);
    // The first record path for time that is free (neither it nor its ".tmp"
    // exists); a null string when the folder is unavailable.
    static QString getReassignmentXmlPath(const QDateTime &time);

    // The record's content for the two code folders and the moved file names:
    // "@type", "oldcode", "newcode", "files" in this order. Each code element
    // carries its folder's name as the value and the day folder's name as "@date".
    static OrderedDictionary content(const QString &oldCodeFolder, const QString &newCodeFolder,
                                     const QStringList &fileNames);

    // Writes the record to "<path>.tmp", flushes it to disk and renames it into
    // place without replacing anything. Returns the record's path, or a null
    // string (logged) when nothing was put in place.
    static QString write(const QString &oldCodeFolder, const QString &newCodeFolder,
                         const QStringList &fileNames, const QDateTime &time);
};

} // namespace kivo
