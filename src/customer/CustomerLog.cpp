#include "CustomerLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcCustomer, "kivo.customer")

} // namespace kivo
