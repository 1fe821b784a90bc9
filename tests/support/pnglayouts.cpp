#include "pnglayouts.h"

#include "mediafixtures.h"

#include <QFile>

namespace {

// Writes samples of any depth into a row, most significant bits first, 16-bit ones big-endian.
class RowWriter
{
  public:
    explicit RowWriter(int depth) : m_depth(depth) {}
    // A sample given from 0 to 255, scaled to the depth.
    void sample(int value8)
    {
        const int max = (1 << m_depth) - 1;
        put((value8 * max + 127) / 255);
    }
    void index(int value) { put(value); }
    QByteArray take()
    {
        if (m_used > 0)
            m_row.append(char(m_byte));
        m_byte = 0;
        m_used = 0;
        return std::exchange(m_row, {});
    }

  private:
    void put(int value)
    {
        if (m_depth == 16) {
            m_row.append(char(value >> 8)).append(char(value & 0xff));
            return;
        }
        if (m_depth == 8) {
            m_row.append(char(value));
            return;
        }
        m_byte |= value << (8 - m_depth - m_used);
        m_used += m_depth;
        if (m_used == 8) {
            m_row.append(char(m_byte));
            m_byte = 0;
            m_used = 0;
        }
    }
    int m_depth;
    QByteArray m_row;
    int m_byte = 0;
    int m_used = 0;
};

const QColor kColours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0), QColor(255, 255, 0)};

bool keyed(const PngLayout& layout)
{
    return layout.transparent && (layout.colourType == PngLayout::grey || layout.colourType == PngLayout::rgb);
}

} // namespace

QString PngLayout::name() const
{
    static const char* types[] = {"grey", "?", "rgb", "palette", "grey-alpha", "?", "rgba"};
    return QStringLiteral("%1-%2bit%3")
        .arg(QLatin1String(types[colourType]))
        .arg(bitDepth)
        .arg(transparent && colourType != greyAlpha && colourType != rgba ? QStringLiteral("-trns") : QString());
}

int PngLayout::bands() const
{
    return bitDepth == 1 ? 2 : 4;
}

QColor PngLayout::band(int index) const
{
    QColor colour = kColours[index];
    if (colourType == grey || colourType == greyAlpha) {
        const int step = bands() == 2 ? 255 * index : 85 * index;
        colour = QColor(step, step, step);
    }
    if (transparent && index == bands() - 1)
        colour.setAlpha(keyed(*this) ? 0 : 128);
    return colour;
}

QList<PngLayout> everyPngLayout()
{
    QList<PngLayout> layouts;
    for (const int depth : {1, 2, 4, 8})
        for (const bool transparent : {false, true})
            layouts.append({PngLayout::palette, depth, transparent});
    for (const int depth : {1, 2, 4, 8, 16})
        for (const bool transparent : {false, true})
            layouts.append({PngLayout::grey, depth, transparent});
    for (const int depth : {8, 16}) {
        for (const bool transparent : {false, true})
            layouts.append({PngLayout::rgb, depth, transparent});
        layouts.append({PngLayout::greyAlpha, depth, true});
        layouts.append({PngLayout::rgba, depth, true});
    }
    return layouts;
}

QString pngInLayout(const PngLayout& layout, QSize size)
{
    const int bands = layout.bands();
    const int depth = layout.bitDepth;
    QByteArray header =
        MediaFixtures::bigEndian32(quint32(size.width())) + MediaFixtures::bigEndian32(quint32(size.height()));
    header.append(char(depth)).append(char(layout.colourType)).append(3, char(0));

    QByteArray extra;
    if (layout.colourType == PngLayout::palette) {
        QByteArray entries;
        QByteArray alphas;
        for (int i = 0; i < bands; ++i) {
            const QColor colour = layout.band(i);
            entries.append(char(colour.red())).append(char(colour.green())).append(char(colour.blue()));
            alphas.append(char(colour.alpha()));
        }
        extra = MediaFixtures::pngChunk("PLTE", entries);
        if (layout.transparent)
            extra += MediaFixtures::pngChunk("tRNS", alphas);
    } else if (keyed(layout)) {
        // The colour key, as a 16-bit sample of the depth per channel.
        RowWriter key(16);
        const QColor last = layout.band(bands - 1);
        const int max = (1 << depth) - 1;
        const auto scaled = [max](int value8) { return (value8 * max + 127) / 255; };
        if (layout.colourType == PngLayout::grey) {
            key.index(scaled(last.red()));
        } else {
            key.index(scaled(last.red()));
            key.index(scaled(last.green()));
            key.index(scaled(last.blue()));
        }
        extra = MediaFixtures::pngChunk("tRNS", key.take());
    }

    QByteArray pixels;
    RowWriter row(depth);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int index = x * bands / size.width();
            const QColor colour = layout.band(index);
            switch (layout.colourType) {
            case PngLayout::palette:
                row.index(index);
                break;
            case PngLayout::grey:
                row.sample(colour.red());
                break;
            case PngLayout::greyAlpha:
                row.sample(colour.red());
                row.sample(colour.alpha());
                break;
            case PngLayout::rgb:
            case PngLayout::rgba:
                row.sample(colour.red());
                row.sample(colour.green());
                row.sample(colour.blue());
                if (layout.colourType == PngLayout::rgba)
                    row.sample(colour.alpha());
                break;
            }
        }
        // Filter type 0 before every row.
        pixels += char(0) + row.take();
    }
    // qCompress puts the length before a zlib stream, which is what IDAT holds.
    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a") + MediaFixtures::pngChunk("IHDR", header) + extra +
                           MediaFixtures::pngChunk("IDAT", qCompress(pixels).mid(4)) +
                           MediaFixtures::pngChunk("IEND", {});
    return MediaFixtures::file(QStringLiteral("%1-%2x%3.png").arg(layout.name()).arg(size.width()).arg(size.height()),
                               png);
}

std::optional<PngLayout> pngLayoutOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.readAll();
    if (head.size() < 33 || !head.startsWith(QByteArray::fromHex("89504e470d0a1a0a")) || head.mid(12, 4) != "IHDR")
        return std::nullopt;
    PngLayout layout;
    layout.bitDepth = quint8(head[24]);
    layout.colourType = PngLayout::ColourType(quint8(head[25]));
    const qsizetype pixels = head.indexOf("IDAT");
    const qsizetype transparency = head.indexOf("tRNS");
    layout.transparent = layout.colourType == PngLayout::greyAlpha || layout.colourType == PngLayout::rgba ||
                         (transparency > 0 && transparency < pixels);
    return layout;
}
