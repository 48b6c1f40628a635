#pragma once

namespace kivo {

// How the process heap hands memory back. Frames and decoded slides are
// megabytes each and come and go at slide rate on several threads; with
// glibc's sliding mmap threshold they end up inside per-thread arenas, whose
// free holes the process keeps, so resident memory climbs a frame at a time
// over a day. A fixed threshold keeps such blocks mapped on their own and
// returned whole when freed.
class HeapPolicy
{
public:
    static constexpr int kLargeBlockBytes = 1 << 20;

    // Once, before the first large allocation. False when the allocator
    // ignores it (as under a sanitizer's).
    static bool returnLargeBlocks();
};

} // namespace kivo
