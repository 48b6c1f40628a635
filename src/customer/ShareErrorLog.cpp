#include "ShareErrorLog.h"

#include "CustomerLog.h"
#include "platform/Log.h"

#include <QHash>

#include <chrono>
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
    logLine(lcCustomer(), text + QStringLiteral(" (further I/O errors in [%1] are not logged for "
                                                "a minute)")
                                     .arg(folder));
}

} // namespace kivo
