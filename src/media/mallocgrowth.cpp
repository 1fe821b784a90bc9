#include "mallocgrowth.h"

#include <malloc.h>
#include <mutex>

void limitMallocGrowth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_ARENA_MAX, 2);
        // Setting it also stops glibc from raising it after each free of a mapped block.
        mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    });
}
