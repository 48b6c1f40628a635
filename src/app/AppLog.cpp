#include "AppLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcApp, "kivo.app")

} // namespace kivo
