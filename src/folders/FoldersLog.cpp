#include "FoldersLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcFolders, "kivo.folders")

} // namespace kivo
