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

    // When a photo modified at modifiedMs (ms since the epoch) settles, seen
    // at nowMs: 0 when it has settled already.
    static qint64 settlesAt(qint64 modifiedMs, qint64 nowMs);
    // Milliseconds from now until a photo that settles at settlesAt has, a
    // little more for a clock that ticks coarser than the one that stamped
    // it; at most cap.
    static int msUntilSettled(qint64 settlesAt, int cap);
    // Keeps the earlier of *earliest and at (0: none yet) in *earliest.
    static void keepEarliest(qint64 *earliest, qint64 at);

    // True when the photo at path exists, has settled and (unless the caller
    // decodes it strictly itself: testImage false) decodes completely;
    // otherwise logs why it is left out (a missing photo silently). When it
    // was left out because it had not settled, its settle time is kept in
    // *settles (keepEarliest).
    static bool isReady(const QString &path, qint64 *settles = nullptr, bool testImage = true);
    // Logs that the photo at path is left out as not a complete image.
    static void leftIncomplete(const QString &path);
};

} // namespace kivo
