#pragma once

#include <QLoggingCategory>

namespace kivo {

// Log lines of src/slideshow/ ("kivo.slideshow"); rules such as "kivo.slideshow.debug=false"
// in QT_LOGGING_RULES silence its verbose lines.
Q_DECLARE_LOGGING_CATEGORY(lcSlideshow)

} // namespace kivo
