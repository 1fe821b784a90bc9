#pragma once

#include <QColor>
#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// Media files made for tests with gst-launch-1.0 and QImage, cached under the temporary directory and shared by every
// test process, so each distinct file is made once.
enum class VideoCodec { h264, vp8, vp9 };

struct VideoSpec
{
    QSize size{320, 240};
    double seconds = 1;
    int fps = 30;
    VideoCodec codec = VideoCodec::h264;
    bool audio = false;
    // A videotestsrc pattern: "smpte" moves; "smpte75" (75 % bars), "red", "white", "black" are still.
    QString pattern{"smpte"};
    // The colorimetry the stream is tagged with ("bt709", "1:4:0:0", ...); untagged when empty. Full range
    // survives only in VP9: x264enc writes limited range whatever it is given.
    QString colorimetry;
    // When the picture starts, in seconds; the mp4 holds an empty edit before it, while the sound starts at 0.
    double videoStart = 0;
    // How long the sound lasts when not as long as the picture.
    std::optional<double> audioSeconds;
};

// How a generated PNG stores its pixels: Qt decodes them to 1, 8, 32 and 64 bits a pixel.
enum class PngPixels { bilevel, grey8, rgba8, rgba16 };

struct WavSpec
{
    double seconds = 1;
    // Peak value of the sine, 0 to 1.
    double amplitude = 0.5;
    int channels = 2;
    int rate = 48000;
};

namespace MediaFixtures {

// H.264 in .mp4 or VP8 in .webm, a moving test pattern; sound is a 440 Hz sine.
QString video(const VideoSpec& wanted = {});
// An H.264 .mp4 whose frames show their own index (see frameIndexOf), drawn at 320 x 240 and scaled to the size.
QString indexedVideo(int frames, int fps = 30, QSize size = {320, 240});
// The index an indexedVideo frame shows: eight black or white squares across the top, bit 0 on the left.
int frameIndexOf(const QImage& frame);
// An H.264 .mp4 of one planar I420 picture (Y, then U, then V rows, tightly packed) shown for three frames, its
// chroma sited on the left luma sample, encoded at a quantizer low enough to keep a hard edge hard.
QString i420Video(const QString& name, QSize size, const QByteArray& planes);
// A lossless VP9 .webm of one planar I420 picture (as i420Video) shown for two frames and tagged with the
// colorimetry ("1:4:0:0", ...): the decoder gives back exactly these samples, full range included.
QString losslessI420Video(QSize size, const QByteArray& planes, const QString& colorimetry);
// The first frame of a video as GStreamer's own videoconvert turns it into RGB by its exact path, as a PNG.
QString convertedFirstFrame(const QString& video);
// A 16-bit sine WAV.
QString wav(const WavSpec& wanted = {});
// A Matroska clip at 30 fps, black but for a white flash over the first 100 ms of every second (from `flashAt` seconds
// into it, in whole frames), with plain PCM sound (no encoder delay shifts it) that is silent but for a 1 kHz beep over
// the same 100 ms.
QString flashBeepVideo(int seconds, QSize size = {1920, 1080}, double flashAt = 0);
// A PNG filled with one colour; tagged with the colour space's profile unless it is sRGB (then untagged).
QString png(QSize size = {64, 48}, QColor color = Qt::red, QColorSpace::NamedColorSpace space = QColorSpace::SRgb);
// A file holding the given bytes under the given name.
QString file(const QString& name, const QByteArray& bytes);
// The first fraction of another file's bytes.
QString truncated(const QString& path, double fraction);
// A path where no file is.
QString missing();
// An H.264 .mp4 whose video codec is renamed to one no decoder knows.
QString unknownCodecVideo();
// A whole black PNG of this size, one bit a pixel unless told otherwise, so that even 30000x30000 is made in well
// under a second.
QString blackPng(QSize size, PngPixels pixels = PngPixels::bilevel);
// A small PNG whose header claims this size.
QString pngClaiming(QSize size, PngPixels pixels = PngPixels::bilevel);
// A PNG whose image data is overwritten in the middle; its header and its end are intact.
QString corruptPng(QSize size = {256, 256});
// An H.264 .mp4 with sound whose picture claims this size in its track header and sample description.
QString videoClaiming(QSize size);
// A PNG chunk of this type and data, with its length and checksum; and a number as PNG writes it.
QByteArray pngChunk(const QByteArray& type, const QByteArray& data);
QByteArray bigEndian32(quint32 value);

} // namespace MediaFixtures
