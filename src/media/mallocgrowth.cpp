#include "mallocgrowth.h"

#include <malloc.h>
#include <mutex>

void limitMallocGrowth()
{
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_ARENA_MAX, 2); });
}
