#include "videoframe.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Planes : public VideoFrame::Storage
{
  public:
    std::vector<std::uint8_t> bytes[3];
};

// A frame whose samples vary in both directions, laid out as I420 or as NV12.
VideoFrame patterned(QSize size, bool nv12)
{
    auto planes = std::make_shared<Planes>();
    const int w = size.width(), h = size.height(), cw = w / 2, ch = h / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            planes->bytes[0].push_back(std::uint8_t(16 + (x * 7 + y * 3) % 220));
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
            const auto u = std::uint8_t(16 + (x * 29 + y * 11) % 225);
            const auto v = std::uint8_t(16 + (x * 13 + y * 31) % 225);
            if (nv12) {
                planes->bytes[1].push_back(u);
                planes->bytes[1].push_back(v);
            } else {
                planes->bytes[1].push_back(u);
                planes->bytes[2].push_back(v);
            }
        }
    const VideoFrame::Plane luma{planes->bytes[0].data(), w, w, h};
    if (nv12)
        return VideoFrame(planes, VideoFrame::Format::nv12, size,
                          {luma, VideoFrame::Plane{planes->bytes[1].data(), w, cw, ch}, {}}, 2, 0, {}, 1);
    return VideoFrame(planes, VideoFrame::Format::i420, size,
                      {luma, VideoFrame::Plane{planes->bytes[1].data(), cw, cw, ch},
                       VideoFrame::Plane{planes->bytes[2].data(), cw, cw, ch}},
                      3, 0, {}, 1);
}

} // namespace

TEST(VideoFrame, PlanarAndInterleavedChromaConvertAlike)
{
    const QImage planar = patterned({64, 48}, false).toImage();
    const QImage interleaved = patterned({64, 48}, true).toImage();
    ASSERT_EQ(planar.size(), QSize(64, 48));
    EXPECT_EQ(planar, interleaved);
}

TEST(VideoFrame, AnUntaggedFrameTakesGstreamersMatrixForItsSize)
{
    EXPECT_EQ(patterned({64, 48}, false).colorimetry(), VideoColorimetry::bt601());
    EXPECT_EQ(patterned({1280, 720}, false).colorimetry(), VideoColorimetry::bt709());
}
