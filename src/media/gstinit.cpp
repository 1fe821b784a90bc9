#include "gstinit.h"

#include "losterrortracer.h"

#include <gst/gst.h>
#include <mutex>

void initGstreamer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        LostErrorTracer::install();
    });
}
