#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/util/ ("kivo.util"); rules such as "kivo.util.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcUtil)

} // namespace kivo
