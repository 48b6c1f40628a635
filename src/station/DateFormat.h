#pragma once

#include <QDateTime>
#include <QString>

namespace kivo {

// Formats an instant in the local time zone and the default locale with a
// Unicode date pattern ("yyyy-MM-dd", week-year "YYYY", ...). Gives a null
// string, and logs, when the pattern is rejected or yields no text.
QString formatDateWithPattern(const QDateTime &instant, const QString &pattern);

} // namespace kivo
