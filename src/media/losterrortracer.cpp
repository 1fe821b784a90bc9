#include "losterrortracer.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Watched
{
    GstElement* pipeline;
    LostErrorTracer::Callback callback;
};

std::mutex watchLock;
std::vector<Watched> watched;

// An error being posted on this thread, from the element's own post until that post returns.
struct Posting
{
    GstElement* source;
    std::string text;
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
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    postings.push_back({element, error ? error->message : "Unknown error"});
    g_clear_error(&error);
}

void afterPost(GObject*, GstClockTime, GstElement* element, gboolean)
{
    if (postings.empty() || postings.back().source != element)
        return;
    const Posting posting = std::move(postings.back());
    postings.pop_back();
    if (posting.delivered)
        return;
    // Posting is synchronous up to the pipeline's bus, so an error not delivered by now was dropped on the way.
    GstElement* pipeline = topLevel(element);
    std::scoped_lock lock(watchLock);
    const auto it =
        std::find_if(watched.begin(), watched.end(), [&](const Watched& w) { return w.pipeline == pipeline; });
    if (it != watched.end())
        it->callback(element, posting.text.c_str());
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
