#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/platform/ ("kivo.platform"); rules such as "kivo.platform.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

} // namespace kivo
