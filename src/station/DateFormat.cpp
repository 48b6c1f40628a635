#include "DateFormat.h"

#include "StationLog.h"
#include "platform/Log.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

namespace kivo {

QString formatDateWithPattern(const QDateTime &instant, const QString &pattern)
{
    if (pattern.isEmpty() || !instant.isValid())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString icuPattern(reinterpret_cast<const UChar *>(pattern.utf16()),
                                        int32_t(pattern.size()));
    icu::SimpleDateFormat formatter(icuPattern, icu::Locale::getDefault(), status);
    if (U_FAILURE(status)) {
        logLine(lcStation(), QStringLiteral("ERROR: date pattern [%1] rejected: %2")
                                 .arg(pattern, QString::fromLatin1(u_errorName(status))));
        return {};
    }
    // The host zone is looked up per call, so a changed TZ takes effect at once.
    formatter.adoptTimeZone(icu::TimeZone::detectHostTimeZone());
    icu::UnicodeString out;
    formatter.format(UDate(instant.toMSecsSinceEpoch()), out);
    const QString text =
        QString(reinterpret_cast<const QChar *>(out.getBuffer()), qsizetype(out.length()));
    if (text.isEmpty())
        logLine(lcStation(), QStringLiteral("ERROR: date pattern [%1] gave no text").arg(pattern));
    return text;
}

} // namespace kivo
