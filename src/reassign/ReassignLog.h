#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/reassign/ ("kivo.reassign"); rules such as "kivo.reassign.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcReassign)

} // namespace kivo
