#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/console/ ("kivo.console"); rules such as "kivo.console.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcConsole)

} // namespace kivo
