#include "UtilLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcUtil, "kivo.util")

} // namespace kivo
