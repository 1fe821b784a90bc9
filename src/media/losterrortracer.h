#pragma once

#include <gst/gst.h>

#include <functional>

// Sees the errors that elements inside a watched pipeline post but that a bin on the way to the pipeline's bus drops.
// decodebin and parsebin drop every error of an element they are still trying; a demuxer that fails at once (a
// truncated file) can post its only error in that window even though it is then kept, and the pipeline never prerolls.
class LostErrorTracer
{
  public:
    // Called on the posting thread with the element that posted the error and the error message itself.
    using Callback = std::function<void(GstElement* source, GstMessage* error)>;

    // What a lost error means for a pipeline that is still opening.
    enum class Verdict {
        undecided, // the element is still on trial: look again shortly
        withdrawn, // the element failed its trial and was taken out; decodebin tries the next one
        fatal,     // the element was kept: its error ends the opening
    };

    // Once per process, before any pipeline leaves NULL: GStreamer's hook table is not thread-safe to change later.
    static void install();

    static void watch(GstElement* pipeline, Callback callback);
    static void unwatch(GstElement* pipeline);
    // To be called by the pipeline's bus sync handler for every error it receives: those were not lost.
    static void delivered(GstMessage* error);

    // True while the element sits inside the pipeline.
    static bool contains(GstElement* pipeline, GstElement* element);
    static Verdict judge(GstElement* pipeline, GstElement* source);
};
