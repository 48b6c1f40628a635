#include "HeapPolicy.h"

#include <malloc.h>

namespace kivo {

bool HeapPolicy::returnLargeBlocks()
{
    // Setting the threshold also ends glibc's raising it after each free.
    return ::mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes) == 1;
}

} // namespace kivo
