#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/xml/ ("kivo.xml"); rules such as "kivo.xml.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcXml)

} // namespace kivo
