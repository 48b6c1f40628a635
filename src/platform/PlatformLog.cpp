#include "PlatformLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcPlatform, "kivo.platform")

} // namespace kivo
