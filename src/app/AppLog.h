#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/app/ ("kivo.app"); rules such as "kivo.app.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

} // namespace kivo
