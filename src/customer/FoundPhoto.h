#pragma once

#include <QString>

namespace kivo {

// An entry of a search's result list, seen from the working folder's side:
// where it lies and whether it may be taken now. Safe on any thread.
class FoundPhoto
{
public:
    // Photos whose modification time lies within this many seconds of now are
    // still being written and are left for the next search.
    static constexpr int kSettleSecs = 2;

    // The entry as a path inside searchPath ("./" prefix dropped); empty when
    // it would lead outside.
    static QString locate(const QString &searchPath, const QString &entry);

    // True when the photo at path exists, has settled and decodes completely;
    // otherwise logs why it is left for the next search.
    static bool isReady(const QString &path);
};

} // namespace kivo
