#pragma once

#include <QString>

#include <sys/stat.h>

namespace kivo {

// An entry of a search's result list, seen from the working folder's side:
// where it lies and whether it may be taken now. Safe on any thread.
class FoundPhoto
{
public:
    // Photos whose modification time lies within this many seconds before now
    // are still being written and are left for a repeat search. A time in the
    // future (a share or camera clock ahead) counts as settled.
    static constexpr int kSettleSecs = 2;

    // The entry as a path inside searchPath ("./" prefix dropped); empty when
    // it would lead outside.
    static QString locate(const QString &searchPath, const QString &entry);

    // stat() of the photo: 0 or its errno. An error other than "no such
    // file" is an I/O error of the store, logged through ShareErrorLog.
    static int status(const QString &path, struct stat *st);

    // True when the photo at path exists, has settled and decodes completely;
    // otherwise logs why it is left out (a missing photo silently). *tooFresh
    // is set when it was left out because it had not settled.
    static bool isReady(const QString &path, bool *tooFresh = nullptr);
};

} // namespace kivo
