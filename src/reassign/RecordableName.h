#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

// File names the change record can carry. The record is XML read by the parent
// application: a control character would make it not well-formed, and a name
// that is not valid UTF-8 cannot be written as it stands on disk, so the
// parent application would lose track of the photo. Such photos are never moved.
class RecordableName
{
public:
    // True when every character of name can stand in the record as it is: no
    // control character, no replacement character, no non-character.
    static bool isRecordable(const QString &name);
    // name as the operator can read it: U+FFFD for each character that is not recordable.
    static QString shown(QString name);

    // The photos in folder whose names are not recordable (including names
    // that are not valid UTF-8, which Qt's listings leave out), shown(), in
    // order. Reads the folder: call it off the main thread.
    static QStringList unrecordableIn(const QString &folder);
};

} // namespace kivo
