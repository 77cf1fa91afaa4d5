#include "headless/memory.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace cfg {

bool UseLargeHeapPages() {
#if defined(__linux__) && defined(__GLIBC__)
    // What a read of 60 scales, its history and a file loaded into it take, and more. A block
    // that fits in the room on top comes from it, however large: a vector of items growing step
    // by step does not get a mapping of its own each time, all of it touched anew.
    constexpr int kStep = 64 << 20;
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    if (mallopt(M_TOP_PAD, kStep) != 1) return false;
    const auto top = [] { return reinterpret_cast<std::uintptr_t>(sbrk(0)); };
    const std::uintptr_t before = top();
    // A block larger than what the heap has left makes it grow by a step now; freed, the step
    // stays, the heap keeping that much room on top. Only this step is marked: a later one is
    // a region of its own, and the program runs there as it did before.
    void* volatile block = std::malloc(mallinfo2().keepcost + 4096);
    std::free(block);
    const std::uintptr_t after = top();
    const std::uintptr_t from = (before + kHugePage - 1) & ~(kHugePage - 1);
    return after > from && madvise(reinterpret_cast<void*>(from), after - from, MADV_HUGEPAGE) == 0;
#else
    return false;
#endif
}

}  // namespace cfg
