#include "gstinit.h"

#include "losterrortracer.h"
#include "mallocgrowth.h"

#include <gst/gst.h>
#include <mutex>

void initGstreamer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        limitMallocGrowth();
        gst_init(nullptr, nullptr);
        LostErrorTracer::install();
    });
}
