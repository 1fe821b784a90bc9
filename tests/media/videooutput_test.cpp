#include "eventwait.h"
#include "videooutput.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

// Runs a short test source with the given tags into a video output and returns the frame it kept.
std::optional<VideoFrame> frameWithTags(const char* tags)
{
    VideoOutput output;
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        (std::string("videotestsrc num-buffers=1 pattern=red ! video/x-raw,format=I420,width=32,height=16 ! "
                     "taginject name=tags tags=\"") +
         tags + "\"")
            .c_str(),
        &error);
    EXPECT_FALSE(error);
    GstElement* tagger = gst_bin_get_by_name(GST_BIN(pipeline), "tags");
    gst_bin_add(GST_BIN(pipeline), output.element());
    gst_element_link(tagger, output.element());
    gst_object_unref(tagger);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
    std::optional<VideoFrame> frame = output.currentFrame();
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return frame;
}

} // namespace

TEST(VideoOutput, KeepsTheDecodersFormatAndHonoursTheOrientation)
{
    const std::optional<VideoFrame> upright = frameWithTags("title=upright");
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->format(), VideoFrame::Format::i420);
    EXPECT_EQ(upright->planeCount(), 3);
    EXPECT_TRUE(upright->orientation().isIdentity());

    const std::optional<VideoFrame> turned = frameWithTags("image-orientation=rotate-90");
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->size(), QSize(32, 16));
    // A quarter turn clockwise takes the top left corner to the top right.
    EXPECT_EQ(turned->orientation().map(QPointF(0, 0)), QPointF(16, 0));
    const QImage image = turned->toImage();
    EXPECT_EQ(image.size(), QSize(16, 32));
    EXPECT_GT(image.pixelColor(8, 16).red(), 230);
}
