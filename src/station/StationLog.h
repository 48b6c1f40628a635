#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/station/ ("kivo.station"); rules such as "kivo.station.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcStation)

} // namespace kivo
