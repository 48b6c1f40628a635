#pragma once

#include <QString>

namespace kivo {

// I/O errors met on the photo store, logged at most once a minute per folder:
// a failing share would otherwise log every file of every pass. Safe on any
// thread.
class ShareErrorLog
{
public:
    static constexpr qint64 kQuietMs = 60000;

    // Logs text unless an error in folder was logged in the last kQuietMs.
    static void report(const QString &folder, const QString &text);
    // Whether path is a folder. An error other than "not there" (a share that
    // fails) is reported as one of folder's own.
    static bool isFolder(const QString &path);
};

} // namespace kivo
