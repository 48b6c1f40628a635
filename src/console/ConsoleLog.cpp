#include "ConsoleLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcConsole, "kivo.console")

} // namespace kivo
