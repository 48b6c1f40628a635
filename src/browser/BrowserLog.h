#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/browser/ ("kivo.browser"); rules such as "kivo.browser.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcBrowser)

} // namespace kivo
