#include "videoframe.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QSize fitted(QSize size, QSize maxSize)
{
    if (!maxSize.isValid() || (size.width() <= maxSize.width() && size.height() <= maxSize.height()))
        return size;
    return size.scaled(maxSize, Qt::KeepAspectRatio).expandedTo({1, 1});
}

// The two chroma samples a luma sample blends, with weights in quarters, as the shader's linear filter takes them:
// chroma texel position = (luma position + ½) / 2, plus ¼ when co-sited, minus the texel centre's ½.
struct ChromaTap
{
    int first, second, firstWeight, secondWeight;
};

ChromaTap chromaTap(int luma, bool cosited, int chromaCount)
{
    const int quarters = 2 * luma - 1 + (cosited ? 1 : 0);
    const int first = quarters >= 0 ? quarters / 4 : -((3 - quarters) / 4);
    const int fraction = quarters - 4 * first;
    const auto clampIndex = [&](int index) { return std::clamp(index, 0, chromaCount - 1); };
    return {clampIndex(first), clampIndex(first + 1), 4 - fraction, fraction};
}

// Converts and scales (nearest luma sample) in one pass. Every term is looked up in fixed point (16 fraction bits)
// from the frame's matrix: luma by its 8-bit value, chroma by its blended value in sixteenths.
QImage convertYuv(const VideoFrame& frame, QSize target)
{
    constexpr int chromaSteps = 255 * 16 + 1;
    const VideoColorimetry colorimetry = frame.colorimetry();
    const std::array<float, 9> m = colorimetry.matrix();
    const std::array<float, 3> offset = colorimetry.offset();
    const auto fixed = [](double levels) { return int(std::lround(levels * 65536)); };
    std::vector<int> luma(256), crR(chromaSteps), cbG(chromaSteps), crG(chromaSteps), cbB(chromaSteps);
    for (int v = 0; v < 256; ++v)
        luma[size_t(v)] = fixed(m[0] * v);
    for (int c = 0; c < chromaSteps; ++c) {
        const double value = c / 16.0;
        crR[size_t(c)] = fixed(m[6] * value + offset[0] * 255);
        cbG[size_t(c)] = fixed(m[4] * value + offset[1] * 255);
        crG[size_t(c)] = fixed(m[7] * value);
        cbB[size_t(c)] = fixed(m[5] * value + offset[2] * 255);
    }

    const VideoFrame::Plane y = frame.plane(0);
    const bool nv12 = frame.format() == VideoFrame::Format::nv12;
    const VideoFrame::Plane u = frame.plane(1);
    const VideoFrame::Plane v = nv12 ? frame.plane(1) : frame.plane(2);
    const int step = nv12 ? 2 : 1;
    const int w = frame.size().width();
    const int h = frame.size().height();
    std::vector<int> sourceX(size_t(target.width()));
    std::vector<ChromaTap> tapX(size_t(target.width()));
    for (int tx = 0; tx < target.width(); ++tx) {
        sourceX[size_t(tx)] = tx * w / target.width();
        tapX[size_t(tx)] = chromaTap(sourceX[size_t(tx)], colorimetry.chromaCositedH, u.width);
    }
    // One chroma row blended vertically, in quarters, per plane.
    std::vector<int> rowU(size_t(u.width)), rowV(size_t(u.width));
    QImage image(target, QImage::Format_RGB32);
    for (int ty = 0; ty < target.height(); ++ty) {
        const int sy = ty * h / target.height();
        const ChromaTap tapY = chromaTap(sy, colorimetry.chromaCositedV, u.height);
        const std::uint8_t* u0 = u.data + tapY.first * u.stride;
        const std::uint8_t* u1 = u.data + tapY.second * u.stride;
        const std::uint8_t* v0 = v.data + tapY.first * v.stride + (nv12 ? 1 : 0);
        const std::uint8_t* v1 = v.data + tapY.second * v.stride + (nv12 ? 1 : 0);
        for (int i = 0; i < u.width; ++i) {
            rowU[size_t(i)] = tapY.firstWeight * u0[i * step] + tapY.secondWeight * u1[i * step];
            rowV[size_t(i)] = tapY.firstWeight * v0[i * step] + tapY.secondWeight * v1[i * step];
        }
        const std::uint8_t* yRow = y.data + sy * y.stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(ty));
        for (int tx = 0; tx < target.width(); ++tx) {
            const ChromaTap& tap = tapX[size_t(tx)];
            const int cb = tap.firstWeight * rowU[size_t(tap.first)] + tap.secondWeight * rowU[size_t(tap.second)];
            const int cr = tap.firstWeight * rowV[size_t(tap.first)] + tap.secondWeight * rowV[size_t(tap.second)];
            const int l = luma[yRow[sourceX[size_t(tx)]]] + 32768;
            const auto level = [](int value) { return std::clamp(value >> 16, 0, 255); };
            out[tx] = qRgb(level(l + crR[size_t(cr)]), level(l + cbG[size_t(cb)] + crG[size_t(cr)]),
                           level(l + cbB[size_t(cb)]));
        }
    }
    return image;
}

QImage convertPacked(const VideoFrame& frame, QSize target)
{
    const VideoFrame::Plane p = frame.plane(0);
    const QImage::Format format =
        frame.format() == VideoFrame::Format::bgra ? QImage::Format_ARGB32 : QImage::Format_RGBA8888;
    // The wrapper borrows the frame's pixels; copy() or scaled() makes the image its own.
    const QImage borrowed(p.data, frame.size().width(), frame.size().height(), p.stride, format);
    if (target == frame.size())
        return borrowed.copy();
    return borrowed.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

VideoFrame::VideoFrame(std::shared_ptr<const Storage> storage, Format format, QSize size, std::array<Plane, 3> planes,
                       int planeCount, double time, QTransform orientation, std::uint64_t serial,
                       std::optional<VideoColorimetry> colorimetry)
    : m_storage(std::move(storage)), m_format(format), m_size(size), m_planes(planes), m_planeCount(planeCount),
      m_time(time), m_orientation(orientation), m_serial(serial), m_colorimetry(colorimetry)
{
}

VideoFrame VideoFrame::fromImage(const QImage& image, double time, std::uint64_t serial)
{
    struct ImageStorage : Storage
    {
        QImage image;
    };
    auto storage = std::make_shared<ImageStorage>();
    storage->image = image.convertToFormat(QImage::Format_ARGB32);
    const QImage& pixels = storage->image;
    const std::array<Plane, 3> planes{
        Plane{pixels.constBits(), int(pixels.bytesPerLine()), pixels.width(), pixels.height()}};
    return VideoFrame(std::move(storage), Format::bgra, pixels.size(), planes, 1, time, {}, serial);
}

QImage VideoFrame::toImage(QSize maxSize) const
{
    if (isNull() || m_size.isEmpty())
        return {};
    const QRectF upright = m_orientation.mapRect(QRectF(QPointF(0, 0), QSizeF(m_size)));
    const QSize shown = fitted(upright.size().toSize(), maxSize);
    const qreal scale = std::min(qreal(shown.width()) / upright.width(), qreal(shown.height()) / upright.height());
    const QSize target = (QSizeF(m_size) * scale).toSize().expandedTo({1, 1});
    const QImage image =
        m_format == Format::i420 || m_format == Format::nv12 ? convertYuv(*this, target) : convertPacked(*this, target);
    if (m_orientation.isIdentity())
        return image;
    return image.transformed(
        QTransform(m_orientation.m11(), m_orientation.m12(), m_orientation.m21(), m_orientation.m22(), 0, 0));
}
