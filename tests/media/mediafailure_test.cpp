#include "gstinit.h"
#include "mediafailure.h"
#include "mediafixtures.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

std::string textFor(GQuark domain, int code, const char* message, const char* debug, const QString& path)
{
    initGstreamer();
    GError* error = g_error_new_literal(domain, code, message);
    GstMessage* posted = gst_message_new_error(nullptr, error, debug);
    const QString text = mediaFailureText(posted, QUrl::fromLocalFile(path));
    gst_message_unref(posted);
    g_error_free(error);
    return text.toStdString();
}

} // namespace

TEST(MediaFailure, SaysWhatTheDetailOrTheFileAddsToGstreamersMessage)
{
    const QString whole = MediaFixtures::video();
    const QString cut = MediaFixtures::truncated(MediaFixtures::video({.seconds = 2}), 0.5);
    const std::string noStreams = "This file contains no playable streams.";
    const char* noStreamsDebug = "../gst/isomp4/qtdemux.c(509): gst_qtdemux_post_no_playable_stream_error (): "
                                 "/GstPlayBin:playbin0/GstQTDemux:qtdemux0:\nno known streams found";
    EXPECT_TRUE(textFor(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, noStreams.c_str(), noStreamsDebug, cut)
                    .starts_with("The file is incomplete"));
    EXPECT_EQ(textFor(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, noStreams.c_str(), noStreamsDebug, whole),
              noStreams + " (no known streams found)");
    EXPECT_EQ(textFor(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "Resource not found.",
                      "../plugins/elements/gstfilesrc.c(553): gst_file_src_start (): /GstFileSrc:source:\n"
                      "No such file \"/x/y.mp4\"",
                      "/x/y.mp4"),
              "Resource not found. (No such file \"/x/y.mp4\")");
    EXPECT_EQ(textFor(GST_CORE_ERROR, GST_CORE_ERROR_FAILED, "Internal data stream error.",
                      "../libs/gst/base/gstbasesrc.c(3132): gst_base_src_loop (): /GstPipeline:pipeline0:", whole),
              "Internal data stream error.");
}

TEST(MediaFailure, AnIsoFileIsIncompleteWithoutItsIndexOrWithABoxCutShort)
{
    const QString whole = MediaFixtures::video({.seconds = 2});
    EXPECT_FALSE(isIncompleteIsoFile(whole));
    EXPECT_TRUE(isIncompleteIsoFile(MediaFixtures::truncated(whole, 0.5)));
    EXPECT_TRUE(isIncompleteIsoFile(MediaFixtures::truncated(whole, 0.999)));
    EXPECT_FALSE(isIncompleteIsoFile(MediaFixtures::wav()));
    EXPECT_FALSE(isIncompleteIsoFile(MediaFixtures::missing()));
}
