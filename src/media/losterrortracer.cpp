#include "losterrortracer.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Watched
{
    GstElement* pipeline;
    LostErrorTracer::Callback callback;
};

// Never destroyed: pipelines are stopped on worker threads that may still unwatch one while the process exits.
std::mutex& watchLock = *new std::mutex;
std::vector<Watched>& watched = *new std::vector<Watched>;

// An error being posted on this thread, from the element's own post until that post returns.
struct Posting
{
    GstElement* source;
    GstMessage* error;
    bool delivered = false;
};

thread_local std::vector<Posting> postings;

GstElement* topLevel(GstElement* element)
{
    GstObject* object = GST_OBJECT(gst_object_ref(element));
    while (GstObject* parent = gst_object_get_parent(object)) {
        gst_object_unref(object);
        object = parent;
    }
    gst_object_unref(object);
    return GST_ELEMENT(object);
}

void beforePost(GObject*, GstClockTime, GstElement* element, GstMessage* message)
{
    // Bins forward a child's message by posting it again themselves: only the first post counts.
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR || GST_MESSAGE_SRC(message) != GST_OBJECT(element))
        return;
    postings.push_back({element, gst_message_ref(message)});
}

void afterPost(GObject*, GstClockTime, GstElement* element, gboolean)
{
    if (postings.empty() || postings.back().source != element)
        return;
    const Posting posting = postings.back();
    postings.pop_back();
    // Posting is synchronous up to the pipeline's bus, so an error not delivered by now was dropped on the way.
    if (!posting.delivered) {
        GstElement* pipeline = topLevel(element);
        std::scoped_lock lock(watchLock);
        const auto it =
            std::find_if(watched.begin(), watched.end(), [&](const Watched& w) { return w.pipeline == pipeline; });
        if (it != watched.end())
            it->callback(element, posting.error);
    }
    gst_message_unref(posting.error);
}

GType tracerType()
{
    static const GType type =
        g_type_register_static_simple(GST_TYPE_TRACER, "LumoLostErrorTracer", sizeof(GstTracerClass), nullptr,
                                      sizeof(GstTracer), nullptr, GTypeFlags(0));
    return type;
}

} // namespace

void LostErrorTracer::install()
{
    auto* tracer = GST_TRACER(g_object_new(tracerType(), nullptr));
    gst_object_ref_sink(tracer);
    gst_tracing_register_hook(tracer, "element-post-message-pre", G_CALLBACK(beforePost));
    gst_tracing_register_hook(tracer, "element-post-message-post", G_CALLBACK(afterPost));
    // The hooks hold their own references for the rest of the process.
    gst_object_unref(tracer);
}

void LostErrorTracer::watch(GstElement* pipeline, Callback callback)
{
    std::scoped_lock lock(watchLock);
    watched.push_back({pipeline, std::move(callback)});
}

void LostErrorTracer::unwatch(GstElement* pipeline)
{
    std::scoped_lock lock(watchLock);
    std::erase_if(watched, [&](const Watched& w) { return w.pipeline == pipeline; });
}

void LostErrorTracer::delivered(GstMessage* error)
{
    for (Posting& posting : postings)
        if (GST_MESSAGE_SRC(error) == GST_OBJECT(posting.source))
            posting.delivered = true;
}

bool LostErrorTracer::contains(GstElement* pipeline, GstElement* element)
{
    return topLevel(element) == pipeline;
}

LostErrorTracer::Verdict LostErrorTracer::judge(GstElement* pipeline, GstElement* source)
{
    if (!contains(pipeline, source))
        return Verdict::withdrawn;
    // decodebin unlocks an element's state once it keeps it; until then the trial may still fail.
    return gst_element_is_locked_state(source) ? Verdict::undecided : Verdict::fatal;
}
