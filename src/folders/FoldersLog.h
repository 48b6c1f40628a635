#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/folders/ ("kivo.folders"); rules such as "kivo.folders.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcFolders)

} // namespace kivo
