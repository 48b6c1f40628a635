#include "SlideshowLog.h"

namespace kivo {

Q_LOGGING_CATEGORY(lcSlideshow, "kivo.slideshow")

} // namespace kivo
