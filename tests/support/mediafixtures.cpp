#include "mediafixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>
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

// Runs one gst-launch-1.0 line into a temporary name and renames it into place, so that parallel test processes
// never see half a file.
QString launch(const QString& key, const QString& suffix, const QString& pipeline)
{
    const QString target = cachedPath(key, suffix);
    if (QFileInfo::exists(target)) return target;
    const QString partial = target + "." + QUuid::createUuid().toString(QUuid::Id128) + ".part";
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("gst-launch-1.0",
                  QProcess::splitCommand("-q " + QString(pipeline).replace("%OUT%", "filesink location=" + partial)));
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        QFile::remove(partial);
        throw std::runtime_error("gst-launch-1.0 failed: " + process.readAll().toStdString());
    }
    if (!QFile::rename(partial, target)) QFile::remove(partial);
    return target;
}

} // namespace

QString MediaFixtures::video(const VideoSpec& spec)
{
    const bool h264 = spec.codec == VideoCodec::h264;
    const int frames = int(spec.seconds * spec.fps + 0.5);
    QString video = QString("videotestsrc num-buffers=%1 pattern=%5 horizontal-speed=4 ! "
                            "video/x-raw,format=I420,width=%2,height=%3,framerate=%4/1 ! ")
                        .arg(frames)
                        .arg(spec.size.width())
                        .arg(spec.size.height())
                        .arg(spec.fps)
                        .arg(spec.pattern);
    video += h264 ? "x264enc speed-preset=ultrafast key-int-max=30 ! queue ! mux. "
                  : "vp8enc deadline=1 keyframe-max-dist=30 ! queue ! mux. ";
    QString pipeline = (h264 ? "mp4mux name=mux ! %OUT% " : "webmmux name=mux ! %OUT% ") + video;
    if (spec.audio) {
        const int buffers = int(spec.seconds * 100 + 0.5);
        pipeline += QString("audiotestsrc num-buffers=%1 samplesperbuffer=480 freq=440 volume=0.5 ! "
                            "audio/x-raw,rate=48000,channels=2 ! audioconvert ! %2 ! queue ! mux. ")
                        .arg(buffers)
                        .arg(h264 ? "avenc_aac" : "vorbisenc");
    }
    return launch("video-v1 " + pipeline, h264 ? "mp4" : "webm", pipeline);
}

QString MediaFixtures::wav(const WavSpec& spec)
{
    const int buffers = int(spec.seconds * 100 + 0.5);
    const QString pipeline = QString("audiotestsrc num-buffers=%1 samplesperbuffer=%5 freq=440 volume=%2 ! "
                                     "audio/x-raw,format=S16LE,rate=%3,channels=%4 ! wavenc ! %OUT%")
                                 .arg(buffers)
                                 .arg(spec.amplitude)
                                 .arg(spec.rate)
                                 .arg(spec.channels)
                                 .arg(spec.rate / 100);
    return launch("wav-v1 " + pipeline, "wav", pipeline);
}

QString MediaFixtures::png(QSize size, QColor color)
{
    const QString target = cachedPath(
        QString("png-v1 %1x%2 %3").arg(size.width()).arg(size.height()).arg(color.name(QColor::HexArgb)), "png");
    if (QFileInfo::exists(target)) return target;
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
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
    if (QFileInfo::exists(target)) return target;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw std::runtime_error("cannot write " + target.toStdString());
    return target;
}

QString MediaFixtures::truncated(const QString& path, double fraction)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read " + path.toStdString());
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
    if (!in.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read the test video");
    QByteArray bytes = in.readAll();
    bytes.replace("avc1", "zzz1");
    return file("unknown-codec.mp4", bytes);
}
