#include "mediafixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>
#include <QtEndian>
#include <cmath>
#include <stdexcept>

namespace {

QString cacheDirectory()
{
    const QString path = QDir::tempPath() + "/lumo-test-media-" + qEnvironmentVariable("USER", "user");
    QDir().mkpath(path);
    return path;
}

QString cachedPath(const QString& key, const QString& suffix)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return cacheDirectory() + "/" + QString::fromLatin1(hash) + "." + suffix;
}

QByteArray readAll(const QString& path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return in.readAll();
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

struct PngLayout
{
    int bitDepth;
    int colourType;
    int bitsPerPixel;
};

PngLayout layoutOf(PngPixels pixels)
{
    switch (pixels) {
    case PngPixels::grey8:
        return {8, 0, 8};
    case PngPixels::rgba8:
        return {8, 6, 32};
    case PngPixels::rgba16:
        return {16, 6, 64};
    case PngPixels::bilevel:
        break;
    }
    return {1, 0, 1};
}

// The IHDR data of a picture of this size, one-bit greyscale unless told otherwise.
QByteArray pngHeader(QSize size, PngPixels pixels = PngPixels::bilevel)
{
    const PngLayout layout = layoutOf(pixels);
    QByteArray trailer(5, 0);
    trailer[0] = char(layout.bitDepth);
    trailer[1] = char(layout.colourType);
    return MediaFixtures::bigEndian32(quint32(size.width())) + MediaFixtures::bigEndian32(quint32(size.height())) +
           trailer;
}

QByteArray pngFile(const QByteArray& header, const QByteArray& data)
{
    return QByteArray::fromHex("89504e470d0a1a0a") + MediaFixtures::pngChunk("IHDR", header) +
           MediaFixtures::pngChunk("IDAT", data) + MediaFixtures::pngChunk("IEND", {});
}

// Every row of a picture: a filter byte, then the pixels, all black (and transparent).
QByteArray blackRows(QSize size, PngPixels pixels = PngPixels::bilevel)
{
    const qsizetype row = 1 + (qsizetype(size.width()) * layoutOf(pixels).bitsPerPixel + 7) / 8;
    // qCompress puts the length before the zlib stream that PNG wants.
    return qCompress(QByteArray(row * size.height(), 0)).mid(4);
}

// Runs one gst-launch-1.0 line into a temporary name and renames it into place, so that parallel test processes
// never see half a file.
QString launch(const QString& key, const QString& suffix, const QString& pipeline)
{
    const QString target = cachedPath(key, suffix);
    if (QFileInfo::exists(target))
        return target;
    const QString partial = target + "." + QUuid::createUuid().toString(QUuid::Id128) + ".part";
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("gst-launch-1.0",
                  QProcess::splitCommand("-q " + QString(pipeline).replace("%OUT%", "filesink location=" + partial)));
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        QFile::remove(partial);
        throw std::runtime_error("gst-launch-1.0 failed: " + process.readAll().toStdString());
    }
    if (!QFile::rename(partial, target))
        QFile::remove(partial);
    return target;
}

} // namespace

QString MediaFixtures::video(const VideoSpec& wanted)
{
    const bool h264 = wanted.codec == VideoCodec::h264;
    const int frames = int(wanted.seconds * wanted.fps + 0.5);
    const QString tag = wanted.colorimetry.isEmpty() ? QString() : ",colorimetry=" + wanted.colorimetry;
    const QString offset =
        wanted.videoStart > 0 ? QString(" timestamp-offset=%1").arg(qint64(wanted.videoStart * 1e9)) : QString();
    QString video = QString("videotestsrc num-buffers=%1 pattern=%5 horizontal-speed=4%7 ! "
                            "video/x-raw,format=I420,width=%2,height=%3,framerate=%4/1%6 ! ")
                        .arg(frames)
                        .arg(wanted.size.width())
                        .arg(wanted.size.height())
                        .arg(wanted.fps)
                        .arg(wanted.pattern, tag, offset);
    if (wanted.codec == VideoCodec::vp9)
        video += "vp9enc deadline=1 keyframe-max-dist=30 ! queue ! mux. ";
    else
        video += h264 ? "x264enc speed-preset=ultrafast key-int-max=30 ! queue ! mux. "
                      : "vp8enc deadline=1 keyframe-max-dist=30 ! queue ! mux. ";
    QString pipeline = (h264 ? "mp4mux name=mux ! %OUT% " : "webmmux name=mux ! %OUT% ") + video;
    if (wanted.audio) {
        const int buffers = int(wanted.audioSeconds.value_or(wanted.seconds) * 100 + 0.5);
        pipeline += QString("audiotestsrc num-buffers=%1 samplesperbuffer=480 freq=440 volume=0.5 ! "
                            "audio/x-raw,rate=48000,channels=2 ! audioconvert ! %2 ! queue ! mux. ")
                        .arg(buffers)
                        .arg(h264 ? "avenc_aac" : "vorbisenc");
    }
    return launch("video-v1 " + pipeline, h264 ? "mp4" : "webm", pipeline);
}

QString MediaFixtures::indexedVideo(int frames, int fps, QSize size)
{
    const QString key = QString("indexed-v2 %1 %2").arg(frames).arg(fps);
    const QString directory = cachedPath(key, "frames");
    QDir().mkpath(directory);
    for (int index = 0; index < frames; ++index) {
        const QString name = QString("%1/%2.png").arg(directory).arg(index, 4, 10, QChar('0'));
        if (QFileInfo::exists(name))
            continue;
        QImage image(QSize(320, 240), QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter painter(&image);
        for (int bit = 0; bit < 8; ++bit)
            painter.fillRect(bit * 40, 0, 40, 120, (index >> bit) & 1 ? Qt::white : Qt::black);
        painter.end();
        QSaveFile out(name);
        if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit())
            throw std::runtime_error("cannot write " + name.toStdString());
    }
    // The location's printf pattern is added after arg(), which would read its digits as a place marker.
    const QString scaled =
        size == QSize(320, 240)
            ? QString()
            : QString("videoscale ! video/x-raw,width=%1,height=%2 ! ").arg(size.width()).arg(size.height());
    const QString pipeline = QString("index=0 stop-index=%1 caps=image/png,framerate=%2/1 ! pngdec ! %3videoconvert ! "
                                     "video/x-raw,format=I420 ! x264enc speed-preset=veryfast key-int-max=%2 ! "
                                     "mp4mux ! %OUT%")
                                 .arg(frames - 1)
                                 .arg(fps)
                                 .arg(scaled);
    const QString sizedKey = scaled.isEmpty() ? key : key + QString(" %1x%2").arg(size.width()).arg(size.height());
    return launch(sizedKey, "mp4", "multifilesrc location=" + directory + "/%04d.png " + pipeline);
}

int MediaFixtures::frameIndexOf(const QImage& frame)
{
    int index = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (qGray(frame.pixel(frame.width() * (bit * 40 + 20) / 320, frame.height() * 60 / 240)) > 128)
            index |= 1 << bit;
    return index;
}

QString MediaFixtures::i420Video(const QString& name, QSize size, const QByteArray& planes)
{
    const QString raw = file(name + ".yuv", planes.repeated(3));
    // Sited as H.264 streams usually are, on the left luma sample ("mpeg2"); raw video says centred.
    return launch("i420-v2 " + raw, "mp4",
                  QString("filesrc location=%1 ! rawvideoparse format=i420 width=%2 height=%3 framerate=30/1 ! "
                          "capssetter caps=video/x-raw,chroma-site=mpeg2 ! "
                          "x264enc speed-preset=ultrafast pass=quant quantizer=4 ! mp4mux ! %OUT%")
                      .arg(raw)
                      .arg(size.width())
                      .arg(size.height()));
}

QString MediaFixtures::losslessI420Video(QSize size, const QByteArray& planes, const QString& colorimetry)
{
    const QByteArray digest = QCryptographicHash::hash(planes, QCryptographicHash::Sha1).toHex();
    const QString raw = file("lossless-i420.yuv", planes.repeated(2));
    // VP9 at quantizer 0 is lossless.
    return launch("lossless-i420-v1 " + QString::fromLatin1(digest) + " " + colorimetry, "webm",
                  QString("filesrc location=%1 ! rawvideoparse format=i420 width=%2 height=%3 framerate=30/1 "
                          "colorimetry=%4 ! vp9enc min-quantizer=0 max-quantizer=0 deadline=1 ! webmmux ! %OUT%")
                      .arg(raw)
                      .arg(size.width())
                      .arg(size.height())
                      .arg(colorimetry));
}

QString MediaFixtures::convertedFirstFrame(const QString& video)
{
    // Through 16-bit RGB: GStreamer's direct 8-bit path (its fast I420 to RGB code) runs up to 5 levels low.
    return launch("converted-v2 " + video, "png",
                  QString("filesrc location=%1 ! decodebin ! videoconvert dither=none ! video/x-raw,format=ARGB64 ! "
                          "videoconvert dither=none ! video/x-raw,format=RGB ! pngenc snapshot=true ! %OUT%")
                      .arg(video));
}

QString MediaFixtures::wav(const WavSpec& wanted)
{
    const int buffers = int(wanted.seconds * 100 + 0.5);
    const QString pipeline = QString("audiotestsrc num-buffers=%1 samplesperbuffer=%5 freq=440 volume=%2 ! "
                                     "audio/x-raw,format=S16LE,rate=%3,channels=%4 ! wavenc ! %OUT%")
                                 .arg(buffers)
                                 .arg(wanted.amplitude)
                                 .arg(wanted.rate)
                                 .arg(wanted.channels)
                                 .arg(wanted.rate / 100);
    return launch("wav-v1 " + pipeline, "wav", pipeline);
}

QString MediaFixtures::flashBeepVideo(int seconds, QSize size, double flashAt)
{
    constexpr int fps = 30;
    constexpr int rate = 48000;
    const int firstFrame = int(std::lround(flashAt * fps)) % fps;
    const int firstSample = firstFrame * (rate / fps);
    // Drawn small and scaled up nearest-neighbour: every pixel is black or white.
    const QSize drawn(64, 36);
    const int lumaBytes = drawn.width() * drawn.height();
    QByteArray frames;
    for (int frame = 0; frame < seconds * fps; ++frame) {
        const bool flash = (frame + fps - firstFrame) % fps < fps / 10;
        frames += QByteArray(lumaBytes, char(flash ? 235 : 16));
        frames += QByteArray(lumaBytes / 2, char(128));
    }
    QByteArray sound;
    for (int i = 0; i < seconds * rate; ++i) {
        const int inSecond = (i + rate - firstSample) % rate;
        const qint16 value = inSecond < rate / 10 ? qint16(16000 * std::sin(2 * M_PI * 1000 * inSecond / rate)) : 0;
        for (int channel = 0; channel < 2; ++channel)
            sound.append(reinterpret_cast<const char*>(&value), 2);
    }
    const QString picture = file(QStringLiteral("flashes.i420"), frames);
    const QString beeps = file(QStringLiteral("beeps.s16"), sound);
    const QString pipeline =
        QString("matroskamux name=mux ! %OUT% filesrc location=%1 ! rawvideoparse format=i420 width=%2 height=%3 "
                "framerate=%4/1 ! videoscale method=nearest-neighbour ! video/x-raw,width=%5,height=%6 ! "
                "x264enc speed-preset=veryfast key-int-max=%4 ! queue ! mux. filesrc location=%7 ! rawaudioparse "
                "format=pcm pcm-format=s16le sample-rate=%8 num-channels=2 ! queue ! mux.")
            .arg(picture)
            .arg(drawn.width())
            .arg(drawn.height())
            .arg(fps)
            .arg(size.width())
            .arg(size.height())
            .arg(beeps)
            .arg(rate);
    return launch("flash-beep-v1 " + pipeline, "mkv", pipeline);
}

QString MediaFixtures::png(QSize size, QColor color, QColorSpace::NamedColorSpace space)
{
    QString key = QString("png-v1 %1x%2 %3").arg(size.width()).arg(size.height()).arg(color.name(QColor::HexArgb));
    if (space != QColorSpace::SRgb)
        key += QString(" space %1").arg(int(space));
    const QString target = cachedPath(key, "png");
    if (QFileInfo::exists(target))
        return target;
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    if (space != QColorSpace::SRgb)
        image.setColorSpace(QColorSpace(space));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit())
        throw std::runtime_error("cannot write " + target.toStdString());
    return target;
}

QString MediaFixtures::file(const QString& name, const QByteArray& bytes)
{
    const QString directory =
        cacheDirectory() + "/" +
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16));
    QDir().mkpath(directory);
    const QString target = directory + "/" + name;
    if (QFileInfo::exists(target))
        return target;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw std::runtime_error("cannot write " + target.toStdString());
    return target;
}

QString MediaFixtures::truncated(const QString& path, double fraction)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray bytes = in.readAll();
    return file("truncated." + QFileInfo(path).suffix(), bytes.left(qsizetype(bytes.size() * fraction)));
}

QString MediaFixtures::missing()
{
    return cacheDirectory() + "/no-such-file-" + QUuid::createUuid().toString(QUuid::Id128) + ".mp4";
}

QString MediaFixtures::unknownCodecVideo()
{
    QFile in(video());
    if (!in.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the test video");
    QByteArray bytes = in.readAll();
    bytes.replace("avc1", "zzz1");
    return file("unknown-codec.mp4", bytes);
}

QString MediaFixtures::blackPng(QSize size, PngPixels pixels)
{
    const QString name = QString("black-%1x%2.png").arg(size.width()).arg(size.height());
    return file(name, pngFile(pngHeader(size, pixels), blackRows(size, pixels)));
}

QString MediaFixtures::pngClaiming(QSize size, PngPixels pixels)
{
    const QString name = QString("claims-%1x%2.png").arg(size.width()).arg(size.height());
    return file(name, pngFile(pngHeader(size, pixels), blackRows({16, 16}, pixels)));
}

QString MediaFixtures::corruptPng(QSize size)
{
    QByteArray data = blackRows(size);
    // Past the zlib header, so that the stream starts well and breaks on the way.
    data.replace(data.size() / 2, 4, "\xff\xff\xff\xff");
    return file("corrupt.png", pngFile(pngHeader(size), data));
}

QString MediaFixtures::videoClaiming(QSize size)
{
    QByteArray bytes = readAll(video({.seconds = 2, .audio = true}));
    // The visual sample entry follows the sample description's own header; its size sits 32 bytes into it.
    const qsizetype descriptions = bytes.indexOf("stsd") - 4;
    qToBigEndian(quint16(size.width()), bytes.data() + descriptions + 16 + 32);
    qToBigEndian(quint16(size.height()), bytes.data() + descriptions + 16 + 34);
    // The video track's header ends with its size in 16.16 fixed point; the sound track's comes second and is 0.
    const qsizetype header = bytes.indexOf("tkhd") - 4;
    const qsizetype end = header + qFromBigEndian<quint32>(bytes.constData() + header);
    qToBigEndian(quint32(size.width()) << 16, bytes.data() + end - 8);
    qToBigEndian(quint32(size.height()) << 16, bytes.data() + end - 4);
    return file(QString("claims-%1x%2.mp4").arg(size.width()).arg(size.height()), bytes);
}

QByteArray MediaFixtures::bigEndian32(quint32 value)
{
    QByteArray bytes(4, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray MediaFixtures::pngChunk(const QByteArray& type, const QByteArray& data)
{
    return bigEndian32(quint32(data.size())) + type + data + bigEndian32(crc32(type + data));
}
