#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/customer/ ("kivo.customer"); rules such as "kivo.customer.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcCustomer)

} // namespace kivo
