#include "BrowserLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcBrowser, "kivo.browser")

} // namespace kivo
