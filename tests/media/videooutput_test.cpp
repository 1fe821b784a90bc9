#include "eventwait.h"
#include "videooutput.h"

#include <chrono>
#include <cmath>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

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

// A pipeline of `count` 30 fps test frames into the output, on the host's monotonic clock as a player's is.
GstElement* framesOnHostClock(VideoOutput& output, int count)
{
    GstElement* pipeline = gst_parse_launch(("videotestsrc num-buffers=" + std::to_string(count) +
                                             " ! video/x-raw,format=I420,width=32,height=16,framerate=30/1 ! "
                                             "identity name=end")
                                                .c_str(),
                                            nullptr);
    if (!pipeline)
        return nullptr;
    GstElement* end = gst_bin_get_by_name(GST_BIN(pipeline), "end");
    gst_bin_add(GST_BIN(pipeline), output.element());
    gst_element_link(end, output.element());
    gst_object_unref(end);
    GstClock* clock = gst_system_clock_obtain();
    g_object_set(clock, "clock-type", GST_CLOCK_TYPE_MONOTONIC, nullptr);
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
    gst_object_unref(clock);
    return pipeline;
}

// The frames an output hands on, kept as they come on the streaming thread.
class FramesHandedOn
{
  public:
    explicit FramesHandedOn(VideoOutput& output)
    {
        output.setFrameListener([this](const VideoFrame& frame) {
            std::scoped_lock hold(m_lock);
            m_frames.push_back(frame);
        });
    }
    std::vector<VideoFrame> all() const
    {
        std::scoped_lock hold(m_lock);
        return m_frames;
    }

  private:
    mutable std::mutex m_lock;
    std::vector<VideoFrame> m_frames;
};

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

// A played frame is due at the host time the pipeline clock says, later by the sound's delay; a prerolled frame
// has no due time and shows at once.
TEST(VideoOutput, PlayedFramesAreDueWhenTheirSoundIsHeard)
{
    using namespace std::chrono_literals;
    VideoOutput output;
    output.setSoundDelay([] { return 20ms; });
    const FramesHandedOn handedOn(output);
    GstElement* pipeline = framesOnHostClock(output, 6);
    ASSERT_TRUE(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    EXPECT_TRUE(waitUntil([&] { return handedOn.all().size() >= 6; }));
    const auto base = std::chrono::nanoseconds(gst_element_get_base_time(pipeline));
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    const std::vector<VideoFrame> frames = handedOn.all();
    ASSERT_GE(frames.size(), 6u);
    EXPECT_FALSE(frames.front().dueAt()) << "the prerolled frame";
    for (std::size_t i = 1; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(frames[i].dueAt());
        const auto position = std::chrono::nanoseconds(qint64(std::llround(frames[i].time() * 1e9)));
        const auto due = frames[i].dueAt()->time_since_epoch();
        EXPECT_LT(std::chrono::abs(due - (base + position + 20ms)), 1us);
    }
}

// The first frame of a start held back at the preroll goes to the outputs ahead of its due time (the sink hands a
// start's first frame over no earlier than it falls due, which leaves an output no time to draw it); the sink's own
// showing of it as the pipeline plays is not a second frame.
TEST(VideoOutput, AHeldFirstFrameGoesAheadDueAtTheStartAndIsNotShownTwice)
{
    using namespace std::chrono_literals;
    VideoOutput output;
    output.setSoundDelay([] { return 20ms; });
    auto holding = std::make_shared<std::atomic<bool>>(true);
    output.setHoldPrerolledFrame(holding);
    const FramesHandedOn handedOn(output);
    GstElement* pipeline = framesOnHostClock(output, 4);
    ASSERT_TRUE(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
    EXPECT_FALSE(output.currentFrame()) << "held back at the preroll";

    const auto start = std::chrono::steady_clock::now() + 300ms;
    *holding = false;
    output.releaseHeldFrame(start);
    {
        const std::vector<VideoFrame> frames = handedOn.all();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].time(), 0.0);
        ASSERT_TRUE(frames[0].dueAt());
        EXPECT_LT(std::chrono::abs(*frames[0].dueAt() - (start + 20ms)), 1us);
    }
    gst_element_set_start_time(pipeline, GST_CLOCK_TIME_NONE);
    gst_element_set_base_time(pipeline, GstClockTime(std::chrono::nanoseconds(start.time_since_epoch()).count()));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    EXPECT_TRUE(waitUntil([&] { return handedOn.all().size() >= 4; }));
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);

    const std::vector<VideoFrame> frames = handedOn.all();
    ASSERT_EQ(frames.size(), 4u) << "four frames, the first once";
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_GT(frames[i].time(), frames[i - 1].time());
}
