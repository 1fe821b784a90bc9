#include "mediafilecheck.h"

#include "mediaasset.h"
#include "mediafailure.h"
#include "mediafile.h"
#include "stillimage.h"

#include "tellingfile.h"

#include <QFile>
#include <QImageReader>
#include <QSize>
#include <QtEndian>

namespace {

struct Box
{
    qint64 offset = 0;
    qint64 size = 0;
    QByteArray type;
};

// The box at offset, none when its header cannot be read or does not fit within end.
std::optional<Box> boxAt(TellingFile& file, qint64 offset, qint64 end)
{
    if (offset + 8 > end || !file.seek(offset))
        return std::nullopt;
    const QByteArray header = file.read(16);
    if (header.size() < 8)
        return std::nullopt;
    qint64 size = qFromBigEndian<quint32>(header.constData());
    qint64 headerSize = 8;
    if (size == 1) {
        if (header.size() < 16)
            return std::nullopt;
        size = qint64(qFromBigEndian<quint64>(header.constData() + 8));
        headerSize = 16;
    } else if (size == 0) {
        size = end - offset;
    }
    if (size < headerSize || size > end - offset)
        return std::nullopt;
    return Box{offset, size, header.mid(4, 4)};
}

// The boxes inside a container box, in order, up to the first that cannot be read.
QList<Box> childBoxes(TellingFile& file, const Box& parent)
{
    QList<Box> children;
    const qint64 end = parent.offset + parent.size;
    qint64 offset = parent.offset + 8;
    while (children.size() < 256) {
        const std::optional<Box> box = boxAt(file, offset, end);
        if (!box)
            break;
        children.append(*box);
        offset += box->size;
    }
    return children;
}

std::optional<Box> childBox(TellingFile& file, const Box& parent, const QByteArray& type)
{
    for (const Box& child : childBoxes(file, parent))
        if (child.type == type)
            return child;
    return std::nullopt;
}

// The picture size the first sample description of a video track claims; decoders are set up for that size.
std::optional<QSize> videoTrackSize(TellingFile& file, const Box& track)
{
    const std::optional<Box> media = childBox(file, track, "mdia");
    const std::optional<Box> handler = media ? childBox(file, *media, "hdlr") : std::nullopt;
    if (!handler || !file.seek(handler->offset + 16) || file.read(4) != "vide")
        return std::nullopt;
    const std::optional<Box> info = childBox(file, *media, "minf");
    const std::optional<Box> table = info ? childBox(file, *info, "stbl") : std::nullopt;
    // A sample description box has a version, flags and an entry count before its entries.
    const std::optional<Box> descriptions = table ? childBox(file, *table, "stsd") : std::nullopt;
    const std::optional<Box> entry =
        descriptions ? boxAt(file, descriptions->offset + 16, descriptions->offset + descriptions->size) : std::nullopt;
    if (!entry || entry->size < 36 || !file.seek(entry->offset + 32))
        return std::nullopt;
    const QByteArray size = file.read(4);
    if (size.size() < 4)
        return std::nullopt;
    return QSize(qFromBigEndian<quint16>(size.constData()), qFromBigEndian<quint16>(size.constData() + 2));
}

std::optional<QString> isoProblem(TellingFile& file)
{
    const qint64 end = file.size();
    const std::optional<Box> first = boxAt(file, 0, end);
    static const QList<QByteArray> openings{"ftyp", "moov", "mdat", "free", "skip", "wide"};
    // Only what is plainly an MP4 or QuickTime file is judged here; the player judges the rest.
    if (!first || !openings.contains(first->type))
        return std::nullopt;
    if (isIncompleteIsoFile(file))
        return QStringLiteral("文件不完整");
    // The whole file as one container, so that its top-level boxes are children like any others.
    const std::optional<Box> movie = childBox(file, Box{-8, end + 8, {}}, "moov");
    if (!movie)
        return std::nullopt;
    for (const Box& track : childBoxes(file, *movie)) {
        if (track.type != "trak")
            continue;
        if (const std::optional<QSize> size = videoTrackSize(file, track); size && isOversizeStill(*size))
            return oversizePictureText(*size);
    }
    return std::nullopt;
}

// A PNG ends with its IEND chunk: one that does not was cut short.
bool endsLikePng(TellingFile& file)
{
    static const QByteArray iend = QByteArray::fromHex("0000000049454e44ae426082");
    return file.size() >= iend.size() && file.seek(file.size() - iend.size()) && file.read(iend.size()) == iend;
}

std::optional<QString> imageProblem(TellingFile& file, qint64 maxStillBytes)
{
    QImageReader reader(&file);
    const QSize size = reader.canRead() ? reader.size() : QSize();
    if (!size.isValid())
        return QStringLiteral("不是可读取的图片，或文件已损坏");
    if (std::optional<QString> refusal = stillRefusal(reader, maxStillBytes))
        return refusal;
    if (reader.format() == "png" && !endsLikePng(file))
        return QStringLiteral("图片文件不完整");
    return std::nullopt;
}

} // namespace

std::optional<QString> unusableMediaReason(const QString& path, qint64 maxStillBytes)
{
    if (!isReadableFileAt(path))
        return std::nullopt;
    TellingFile file(path);
    // Unbuffered: each look reads the bytes asked for, not a block around them.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QStringLiteral("无法打开文件");
    if (file.size() == 0)
        return QStringLiteral("文件是空的");
    switch (assetKind(QUrl::fromLocalFile(path)).value_or(AssetKind::audio)) {
    case AssetKind::image:
        return imageProblem(file, maxStillBytes);
    case AssetKind::video:
        return isoProblem(file);
    case AssetKind::audio:
        return std::nullopt;
    }
    return std::nullopt;
}
