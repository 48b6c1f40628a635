#include "XmlLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcXml, "kivo.xml")

} // namespace kivo
