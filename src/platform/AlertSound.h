#pragma once

#include <functional>

namespace kivo {

// The alert sound, for layers that have no widgets. The application object
// installs the player (the desktop's beep); until then play() does nothing.
// play() may be called from any thread: the player runs on the main thread.
class AlertSound
{
public:
    static void setPlayer(std::function<void()> player);
    static void play();
};

} // namespace kivo
