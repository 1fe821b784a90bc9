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
        // The decoders' plugin brings libgomp, whose start-up is not safe while another thread loads it too: players
        // are prerolled on several threads at once, so it is loaded here, once, before any of them.
        if (GstPlugin* decoders = gst_plugin_load_by_name("libav"))
            gst_object_unref(decoders);
    });
}
