#include "ShareErrorLog.h"

#include "StationLog.h"
#include "platform/Log.h"

#include <QFile>
#include <QHash>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace kivo {

void ShareErrorLog::report(const QString &folder, const QString &text)
{
    static std::mutex mutex;
    static QHash<QString, qint64> lastLogged; // folder -> steady clock ms
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    {
        const std::lock_guard lock(mutex);
        // Folders quiet for a minute are forgotten, so the table stays small.
        if (lastLogged.size() > 256)
            lastLogged.removeIf([now](auto it) { return now - it.value() >= kQuietMs; });
        const auto it = lastLogged.constFind(folder);
        if (it != lastLogged.cend() && now - it.value() < kQuietMs)
            return;
        lastLogged.insert(folder, now);
    }
    logLine(lcStation(), text + QStringLiteral(" (further I/O errors in [%1] are not logged for "
                                               "a minute)")
                                    .arg(folder));
}

bool ShareErrorLog::isFolder(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const int error = errno;
    if (error != ENOENT && error != ENOTDIR)
        report(path, QStringLiteral("[%1] cannot be read: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    return false;
}

} // namespace kivo
