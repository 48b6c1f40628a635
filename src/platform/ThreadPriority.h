#pragma once

namespace kivo {

// Worker threads run below the main thread, so that on a busy machine the
// event loop (the displays, the console, the watchdog pings) gets the
// processor first. Programs a worker starts inherit its priority.
class ThreadPriority
{
public:
    static constexpr int kWorkerNice = 5;

    // Lowers the calling thread once; later calls on the same thread are free.
    static void lowerForWorker();
};

} // namespace kivo
