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

// The operator reads what went wrong with the file in Chinese, never GStreamer's English message or its detail.
TEST(MediaFailure, SaysInTheOperatorsWordsWhatWentWrongWithTheFile)
{
    const QString whole = MediaFixtures::video();
    const QString cut = MediaFixtures::truncated(MediaFixtures::video({.seconds = 2}), 0.5);
    const char* noStreams = "This file contains no playable streams.";
    const char* noStreamsDebug = "../gst/isomp4/qtdemux.c(509): gst_qtdemux_post_no_playable_stream_error (): "
                                 "/GstPlayBin:playbin0/GstQTDemux:qtdemux0:\nno known streams found";
    EXPECT_TRUE(
        QString::fromStdString(textFor(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, noStreams, noStreamsDebug, cut))
            .startsWith(QStringLiteral("文件不完整")));
    EXPECT_EQ(textFor(GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, noStreams, noStreamsDebug, whole),
              "文件中没有可播放的画面或声音，或文件已损坏");
    EXPECT_EQ(textFor(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "Resource not found.",
                      "gstfilesrc.c(553): gst_file_src_start (): /GstFileSrc:source:\nNo such file", "/x/y.mp4"),
              "找不到文件");
    EXPECT_EQ(textFor(GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, "No decoder", "", whole),
              "缺少能解码此文件的解码器");
    EXPECT_EQ(textFor(GST_CORE_ERROR, GST_CORE_ERROR_FAILED, "Internal data stream error.", "", whole),
              "播放此文件时出错");
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
