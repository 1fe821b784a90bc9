#include "videoframe.h"

#include <algorithm>
#include <cstring>

namespace {

struct YuvMatrix
{
    int rv, gu, gv, bu;
};

// Limited-range coefficients, scaled by 1024: BT.709 for HD sizes, BT.601 below.
YuvMatrix matrixFor(QSize size)
{
    if (size.height() >= 720) return {1836, 218, 546, 2163};
    return {1634, 401, 832, 2066};
}

inline std::uint8_t clampByte(int value)
{
    return std::uint8_t(std::clamp(value >> 10, 0, 255));
}

QSize fitted(QSize size, QSize maxSize)
{
    if (!maxSize.isValid() || (size.width() <= maxSize.width() && size.height() <= maxSize.height())) return size;
    return size.scaled(maxSize, Qt::KeepAspectRatio).expandedTo({1, 1});
}

// Converts and scales (nearest sample) in one pass; chroma is read at half resolution.
QImage convertYuv(const VideoFrame& frame, QSize target)
{
    QImage image(target, QImage::Format_RGB32);
    const YuvMatrix m = matrixFor(frame.size());
    const VideoFrame::Plane y = frame.plane(0);
    const bool nv12 = frame.format() == VideoFrame::Format::nv12;
    const VideoFrame::Plane u = frame.plane(1);
    const VideoFrame::Plane v = nv12 ? frame.plane(1) : frame.plane(2);
    const int w = frame.size().width();
    const int h = frame.size().height();
    for (int ty = 0; ty < target.height(); ++ty) {
        const int sy = ty * h / target.height();
        const std::uint8_t* yRow = y.data + sy * y.stride;
        const std::uint8_t* uRow = u.data + (sy / 2) * u.stride;
        const std::uint8_t* vRow = v.data + (sy / 2) * v.stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(ty));
        for (int tx = 0; tx < target.width(); ++tx) {
            const int sx = tx * w / target.width();
            const int luma = (yRow[sx] - 16) * 1192;
            const int cb = (nv12 ? uRow[(sx / 2) * 2] : uRow[sx / 2]) - 128;
            const int cr = (nv12 ? vRow[(sx / 2) * 2 + 1] : vRow[sx / 2]) - 128;
            out[tx] =
                qRgb(clampByte(luma + m.rv * cr), clampByte(luma - m.gu * cb - m.gv * cr), clampByte(luma + m.bu * cb));
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
    if (target == frame.size()) return borrowed.copy();
    return borrowed.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

VideoFrame::VideoFrame(std::shared_ptr<const Storage> storage, Format format, QSize size, std::array<Plane, 3> planes,
                       int planeCount, double time, QTransform orientation, std::uint64_t serial)
    : m_storage(std::move(storage)), m_format(format), m_size(size), m_planes(planes), m_planeCount(planeCount),
      m_time(time), m_orientation(orientation), m_serial(serial)
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
    if (isNull() || m_size.isEmpty()) return {};
    const QRectF upright = m_orientation.mapRect(QRectF(QPointF(0, 0), QSizeF(m_size)));
    const QSize shown = fitted(upright.size().toSize(), maxSize);
    const qreal scale = std::min(qreal(shown.width()) / upright.width(), qreal(shown.height()) / upright.height());
    const QSize target = (QSizeF(m_size) * scale).toSize().expandedTo({1, 1});
    const QImage image =
        m_format == Format::i420 || m_format == Format::nv12 ? convertYuv(*this, target) : convertPacked(*this, target);
    if (m_orientation.isIdentity()) return image;
    return image.transformed(
        QTransform(m_orientation.m11(), m_orientation.m12(), m_orientation.m21(), m_orientation.m22(), 0, 0));
}
