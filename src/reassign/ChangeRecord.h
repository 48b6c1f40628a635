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
//
// A record is written in two steps around the moves: prepare() writes it as
// "<path>.tmp" before anything moves, proving that it can be written, and
// commit() puts it in place afterwards, naming the photos that did move.
class ChangeRecord
{
public:
    static constexpr char kNameSuffix[] = "_reassigned.xml";
    static constexpr char kTimePattern[] = "yyyyMMddHHmmss";

    // A record of photos moved from one code folder to another, written at time.
    ChangeRecord(QString oldCodeFolder, QString newCodeFolder, QDateTime time);

    // Writes "<path>.tmp" listing fileNames and flushes it to disk. False when
    // it cannot be written (error() says why); nothing is left behind then.
    bool prepare(const QStringList &fileNames);
    // Rewrites the ".tmp" when fileNames differ from the prepared ones, then
    // renames it into place without replacing anything. False when the record
    // is not in place (error() says why); a written ".tmp" is kept then.
    bool commit(const QStringList &fileNames);
    // Removes the prepared ".tmp" (nothing moved).
    void discard();

    // The record's path (once prepared; its final name once committed).
    const QString &path() const { return m_path; }
    QString temporaryPath() const { return m_path + QLatin1String(".tmp"); }
    const QString &error() const { return m_error; }

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

    // prepare() and commit() in one go. Returns the record's path, or a null
    // string (logged) when nothing was put in place.
    static QString write(const QString &oldCodeFolder, const QString &newCodeFolder,
                         const QStringList &fileNames, const QDateTime &time);

private:
    bool writeTemporary(const QStringList &fileNames);
    bool fail(const QString &error);

    QString m_oldCodeFolder;
    QString m_newCodeFolder;
    QDateTime m_time;
    QString m_path;
    QStringList m_prepared;
    QString m_error;
};

} // namespace kivo
