#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace kivo {

// Works out where a customer's photos are searched: today's day folder under
// the main images folder, or the demo slides folder for a demo code; in the
// shout mode every photo of the day. Reads the preferences store.
class CustomerPhotoSearch
{
public:
    // A code is refused before any path is formed: CustomerCode::refusal.
    static bool isAcceptableCode(const QString &code);
    // isAcceptableCode for a code that may be absent; a refusal is logged.
    static bool acceptCode(const std::optional<QString> &code);

    // The demo codes of prefDemoCodesList: an array of strings or one string
    // of comma-separated entries; entries trimmed, empty ones dropped.
    static QStringList demoCodesList(const QVariant &value);

    // True when prefSupportDemoCode is on and the lower-cased code is one of
    // the demo codes (compared exactly as stored).
    static bool isDemoCode(const QString &code);

    // The search request for a code (absent: every photo of the folder):
    // {"searchPath", "customerid" when there is a code}. None when the code is
    // refused or the search folder does not exist (both logged). It looks at
    // the photo store, which may hang: call it on a worker.
    static std::optional<QVariantMap> requestForCode(const std::optional<QString> &code);
};

} // namespace kivo
