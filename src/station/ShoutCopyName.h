#pragma once

#include <QString>

namespace kivo {

// Names of the shout-mode copies in the working folder. A result entry
// "CODE/NAME.jpg" is copied as "CODE_NAME_overlay.jpg"; "%", "_" and "/" in
// the folder part and a leading "." are escaped as %25, %5F, %2F and %2E, so
// the first "_" always ends the folder part and two entries never share a
// copy name.
class ShoutCopyName
{
public:
    // The copy name of a result entry ("./" prefix dropped); empty when the
    // entry names no file or the name would be too long for the file system.
    static QString forEntry(const QString &entry);
    // The entry a copy name came from; empty when the name is not one of ours.
    static QString entryOf(const QString &copyName);
};

} // namespace kivo
