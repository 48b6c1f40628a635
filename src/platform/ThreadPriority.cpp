#include "ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

namespace kivo {

void ThreadPriority::lowerForWorker()
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    // On Linux each thread has a nice value of its own; raising it needs no
    // privilege, and a failure only leaves the thread as it was.
    (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), kWorkerNice);
}

void ThreadPriority::lowerForBackground()
{
    thread_local bool lowered = false;
    if (!std::exchange(lowered, true))
        (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), kBackgroundNice);
}

} // namespace kivo
