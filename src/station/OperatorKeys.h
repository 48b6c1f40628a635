#pragma once

#include <QKeyCombination>

namespace kivo::operatorKey {

// The operator's keys (README "Operator keys", man page KEYS).
// On any station window, the console's and every display's:
inline constexpr QKeyCombination preferences{Qt::ControlModifier, Qt::Key_Comma};
// On the console:
inline constexpr QKeyCombination identifyAll{Qt::ControlModifier, Qt::Key_I};
inline constexpr QKeyCombination identifyDisplay{Qt::ControlModifier | Qt::ShiftModifier,
                                                 Qt::Key_I};
inline constexpr QKeyCombination nextSlide{Qt::ControlModifier, Qt::Key_N};
inline constexpr QKeyCombination stopAll{Qt::ControlModifier, Qt::Key_Period};

} // namespace kivo::operatorKey
