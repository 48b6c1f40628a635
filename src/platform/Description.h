#pragma once

#include <QString>
#include <QVariant>

namespace kivo {

// Text form of a value for log lines, in the property-list style the log has
// always used: dictionaries as "{ key = value; }", arrays as "( a, b )",
// data as "<0a1b>", strings quoted when they hold more than letters and digits.
QString describe(const QVariant &value);

} // namespace kivo
