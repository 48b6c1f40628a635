#include "ReassignLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcReassign, "kivo.reassign")

} // namespace kivo
