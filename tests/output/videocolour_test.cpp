#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "meshfixtures.h"
#include "offscreenmeshrenderer.h"

#include <gtest/gtest.h>

namespace {

// The first frame of a video as the player decodes it: the decoder's own planes and colorimetry.
VideoFrame decodedFrame(const QString& path)
{
    GstPlayer player;
    player.load(QUrl::fromLocalFile(path));
    if (!waitUntil([&] { return player.isReady() && player.currentFrame(); }, 20000))
        return {};
    return *player.currentFrame();
}

// Where the chroma around a pixel is flat: converters may blend chroma across an edge as they like, but where it is
// flat every one must give the matrix's colour.
std::vector<bool> flatChroma(const VideoFrame& frame)
{
    const auto flatAt = [&](int plane, int cx, int cy) {
        const VideoFrame::Plane p = frame.plane(plane);
        const int centre = p.data[cy * p.stride + cx];
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const int x = std::clamp(cx + dx, 0, p.width - 1);
                const int y = std::clamp(cy + dy, 0, p.height - 1);
                if (std::abs(p.data[y * p.stride + x] - centre) > 1)
                    return false;
            }
        return true;
    };
    std::vector<bool> flat;
    for (int y = 0; y < frame.size().height(); ++y)
        for (int x = 0; x < frame.size().width(); ++x)
            flat.push_back(flatAt(1, x / 2, y / 2) && flatAt(2, x / 2, y / 2));
    return flat;
}

// The textbook conversion of the frame's samples (nearest chroma) with the given luma weights and range.
QImage textbook(const VideoFrame& frame, double kr, double kb, bool fullRange)
{
    QImage image(frame.size(), QImage::Format_RGB32);
    const double lumaOffset = fullRange ? 0 : 16, lumaScale = fullRange ? 255 : 219,
                 chromaScale = fullRange ? 255 : 224;
    const auto sample = [&](int plane, int x, int y) {
        const VideoFrame::Plane p = frame.plane(plane);
        return double(p.data[y * p.stride + x]);
    };
    const auto level = [](double value) { return std::clamp(int(std::lround(value * 255)), 0, 255); };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double luma = (sample(0, x, y) - lumaOffset) / lumaScale;
            const double cb = (sample(1, x / 2, y / 2) - 128) / chromaScale;
            const double cr = (sample(2, x / 2, y / 2) - 128) / chromaScale;
            const double kg = 1 - kr - kb;
            image.setPixel(x, y,
                           qRgb(level(luma + 2 * (1 - kr) * cr),
                                level(luma - 2 * kb * (1 - kb) / kg * cb - 2 * kr * (1 - kr) / kg * cr),
                                level(luma + 2 * (1 - kb) * cb)));
        }
    return image;
}

int largestFlatDifference(const QImage& a, const QImage& b, const std::vector<bool>& flat, QPoint& where)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (!flat[size_t(y * a.width() + x)])
                continue;
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int difference =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            if (difference > largest) {
                largest = difference;
                where = {x, y};
            }
        }
    return largest;
}

class VideoColour : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(gl.isValid()) << gl.errorText().toStdString(); }

    // The frame drawn at its own size through the default mapping, as a projector would get it: live, or held
    // as the still before the video.
    QImage shown(const VideoFrame& frame, const QString& shot, bool held = false)
    {
        MeshInputs inputs;
        inputs.frames = frames;
        if (held) {
            inputs.heldFrame = frame;
        } else {
            inputs.item = ++item;
        }
        gl.renderer().update(inputs);
        if (!held)
            frames->receive(frame, item);
        const QImage image = gl.render(frame.size()).convertToFormat(QImage::Format_RGB32);
        saveShot(image, shot);
        return image;
    }

    OffscreenMeshRenderer gl;
    std::shared_ptr<MeshFrames> frames = std::make_shared<MeshFrames>();
    quint64 item = 0;
};

} // namespace

// Bars of known colours, tagged BT.601 or BT.709, at SD and HD sizes (the matrix must come from the stream, not the
// height). GStreamer's exact conversion widens 8-bit samples to 16 bits as v·257 rather than v·256, which reads
// bright saturated colours up to 3 levels high (its direct 8-bit path runs 3–5 low), so the output is held to
// GStreamer within three; to the textbook within two, as a GPU may round a blend of two 8-bit chroma samples back
// to 8 bits. A frame held before the video (a transition) is drawn through the same conversion: the live frame after
// it is the same to the level.
TEST_F(VideoColour, BarsMatchTheTagsMatrix)
{
    const double bt601[] = {0.299, 0.114}, bt709[] = {0.2126, 0.0722};
    const struct
    {
        const char* name;
        QSize size;
        const char* colorimetry;
        const double* weights;
    } clips[] = {
        {"bt709-540", {960, 540}, "bt709", bt709},
        {"bt601-540", {960, 540}, "bt601", bt601},
        {"bt709-1080", {1920, 1080}, "bt709", bt709},
        {"bt601-1080", {1920, 1080}, "bt601", bt601},
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString path = MediaFixtures::video(
            {.size = clip.size, .seconds = 0.1, .pattern = "smpte75", .colorimetry = clip.colorimetry});
        const VideoFrame frame = decodedFrame(path);
        ASSERT_FALSE(frame.isNull());
        ASSERT_EQ(frame.format(), VideoFrame::Format::i420);
        const QImage gstreamer(MediaFixtures::convertedFirstFrame(path));
        ASSERT_EQ(gstreamer.size(), clip.size);
        const QImage output = shown(frame, QStringLiteral("video-colour-%1").arg(clip.name));
        const std::vector<bool> flat = flatChroma(frame);
        const QImage textbookImage = textbook(frame, clip.weights[0], clip.weights[1], false);
        QPoint at;
        EXPECT_LE(largestFlatDifference(output, textbookImage, flat, at), 2) << "at " << at.x() << "," << at.y();
        EXPECT_LE(largestFlatDifference(output, gstreamer, flat, at), 3) << "at " << at.x() << "," << at.y();
        EXPECT_LE(largestFlatDifference(frame.toImage(), textbookImage, flat, at), 1)
            << "held frame converted at " << at.x() << "," << at.y();
        EXPECT_EQ(shown(frame, QStringLiteral("video-colour-%1-held").arg(clip.name), true), output);
    }
}

// Full-range frames whose samples span 0 to 255: side-by-side bars, each the YCbCr of a source colour by the given
// luma weights, black at Y 0 and white at Y 255.
static QByteArray fullRangeBars(QSize size, const QList<QColor>& colours, double kr, double kb)
{
    const auto level = [](double value) { return char(std::clamp(int(std::lround(value)), 0, 255)); };
    const auto colourAt = [&](int x, int width) { return colours[x * int(colours.size()) / width]; };
    const auto luma = [&](QColor c) { return kr * c.red() + (1 - kr - kb) * c.green() + kb * c.blue(); };
    QByteArray planes;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            planes.append(level(luma(colourAt(x, size.width()))));
    for (const auto& [weight, channel] : {std::pair{kb, &QColor::blue}, std::pair{kr, &QColor::red}})
        for (int y = 0; y < size.height() / 2; ++y)
            for (int x = 0; x < size.width() / 2; ++x) {
                const QColor c = colourAt(x, size.width() / 2);
                planes.append(level(128 + ((c.*channel)() - luma(c)) / (2 * (1 - weight))));
            }
    return planes;
}

// Full-range clips (lossless, so the decoder gives back the very samples) show the source colours; 8-bit YCbCr
// holds some of them only to a level or two (full-range blue's Cb would be 255.5).
TEST_F(VideoColour, FullRangeClipsShowTheSourceColours)
{
    const QList<QColor> colours{Qt::black, Qt::white,  Qt::red,  Qt::green,
                                Qt::blue,  Qt::yellow, Qt::cyan, QColor(128, 64, 32)};
    const struct
    {
        const char* name;
        QSize size;
        const char* colorimetry;
        double kr, kb;
    } clips[] = {
        {"bt709-540", {960, 540}, "1:3:5:1", 0.2126, 0.0722},
        {"bt601-540", {960, 540}, "1:4:0:0", 0.299, 0.114},
        {"bt709-1080", {1920, 1080}, "1:3:5:1", 0.2126, 0.0722},
        {"bt601-1080", {1920, 1080}, "1:4:0:0", 0.299, 0.114},
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QByteArray planes = fullRangeBars(clip.size, colours, clip.kr, clip.kb);
        const VideoFrame frame = decodedFrame(MediaFixtures::losslessI420Video(clip.size, planes, clip.colorimetry));
        ASSERT_FALSE(frame.isNull());
        ASSERT_EQ(frame.format(), VideoFrame::Format::i420);
        EXPECT_TRUE(frame.colorimetry().fullRange);
        const VideoFrame::Plane luma = frame.plane(0);
        const int middle = clip.size.height() / 2;
        const auto lumaAt = [&](int bar) {
            const int x = (2 * bar + 1) * clip.size.width() / (2 * int(colours.size()));
            return int(luma.data[middle * luma.stride + x]);
        };
        ASSERT_EQ(lumaAt(0), 0);
        ASSERT_EQ(lumaAt(1), 255);

        const QImage output = shown(frame, QStringLiteral("video-colour-full-%1").arg(clip.name));
        for (int bar = 0; bar < colours.size(); ++bar) {
            const int x = (2 * bar + 1) * clip.size.width() / (2 * int(colours.size()));
            EXPECT_TRUE(near(output.pixelColor(x, middle), colours[bar], 2))
                << "bar " << bar << ": " << output.pixelColor(x, middle).name().toStdString();
        }
        EXPECT_EQ(shown(frame, QStringLiteral("video-colour-full-%1-held").arg(clip.name), true), output);
    }
}

// H.264 sites chroma on the left luma sample of each pair: a red|green edge on a chroma boundary stays hard, with
// at most the one pixel between two chroma samples blended.
TEST_F(VideoColour, AHardChromaEdgeBlendsAtMostOnePixel)
{
    const QSize size(320, 240);
    QByteArray planes;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            planes.append(char(x < 160 ? 81 : 145));
    for (const auto& [red, green] : {std::pair{90, 54}, std::pair{240, 34}})
        for (int y = 0; y < size.height() / 2; ++y)
            for (int x = 0; x < size.width() / 2; ++x)
                planes.append(char(x < 80 ? red : green));
    const VideoFrame frame = decodedFrame(MediaFixtures::i420Video("red-green-edge", size, planes));
    ASSERT_FALSE(frame.isNull());
    EXPECT_TRUE(frame.colorimetry().chromaCositedH);
    const QImage output = shown(frame, "video-colour-edge");
    for (const QImage& image : {output, frame.toImage()})
        for (int y : {20, 120, 220}) {
            int blended = 0;
            for (int x = 150; x < 170; ++x)
                blended += !near(image.pixelColor(x, y), QColor(254, 0, 0), 8) &&
                           !near(image.pixelColor(x, y), QColor(0, 250, 0), 8);
            EXPECT_LE(blended, 1) << "row " << y;
        }
}
