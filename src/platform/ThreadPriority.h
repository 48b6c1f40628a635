#pragma once

namespace kivo {

// Worker threads run below the main thread, so that on a busy machine the
// event loop (the displays, the console, the watchdog pings) gets the
// processor first. Programs a worker starts inherit its priority.
class ThreadPriority
{
public:
    static constexpr int kWorkerNice = 5;
    // Work that may wait for everything else (the customer's photos after the
    // first): it takes the processor only when nothing else wants it.
    static constexpr int kBackgroundNice = 15;

    // Lowers the calling thread once; later calls on the same thread are free.
    static void lowerForWorker();
    // Lowers the calling thread to kBackgroundNice, for good: a pool whose
    // threads call it runs nothing else.
    static void lowerForBackground();
};

} // namespace kivo
