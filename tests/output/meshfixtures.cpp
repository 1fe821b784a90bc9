#include "meshfixtures.h"

#include "eventwait.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QWindow>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

class ImageStorage : public VideoFrame::Storage
{
  public:
    explicit ImageStorage(QImage pixels) : image(std::move(pixels)) {}
    QImage image;
};

class PlaneStorage : public VideoFrame::Storage
{
  public:
    std::vector<std::uint8_t> planes[3];
};

QList<QPointF> manyPointCircle(int count, QPointF centre, double radius)
{
    static int made = 0;
    const double r = radius * (1 + 1e-6 * ++made);
    QList<QPointF> points;
    points.reserve(count);
    for (int k = 0; k < count; ++k) {
        const double angle = 2 * M_PI * k / count;
        points.append(centre + QPointF(r * std::cos(angle), r * std::sin(angle)));
    }
    return points;
}

VideoFrame rgbaFrame(const QImage& image, std::uint64_t serial, const QTransform& orientation)
{
    auto storage = std::make_shared<ImageStorage>(image.convertToFormat(QImage::Format_RGBA8888));
    const QImage& pixels = storage->image;
    const VideoFrame::Plane plane{pixels.constBits(), int(pixels.bytesPerLine()), pixels.width(), pixels.height()};
    return VideoFrame(storage, VideoFrame::Format::rgba, pixels.size(), {plane, {}, {}}, 1, 0, orientation, serial);
}

VideoFrame i420Frame(QSize size, std::uint8_t y, std::uint8_t u, std::uint8_t v, std::uint64_t serial)
{
    auto storage = std::make_shared<PlaneStorage>();
    const QSize chroma((size.width() + 1) / 2, (size.height() + 1) / 2);
    storage->planes[0].assign(size_t(size.width()) * size.height(), y);
    storage->planes[1].assign(size_t(chroma.width()) * chroma.height(), u);
    storage->planes[2].assign(size_t(chroma.width()) * chroma.height(), v);
    const std::array<VideoFrame::Plane, 3> planes{
        VideoFrame::Plane{storage->planes[0].data(), size.width(), size.width(), size.height()},
        VideoFrame::Plane{storage->planes[1].data(), chroma.width(), chroma.width(), chroma.height()},
        VideoFrame::Plane{storage->planes[2].data(), chroma.width(), chroma.width(), chroma.height()}};
    return VideoFrame(storage, VideoFrame::Format::i420, size, planes, 3, 0, {}, serial);
}

QImage bands(QSize size, const QList<QColor>& colours)
{
    QImage image(size, QImage::Format_RGBA8888);
    QPainter painter(&image);
    const double width = double(size.width()) / colours.size();
    for (int i = 0; i < colours.size(); ++i)
        painter.fillRect(QRectF(i * width, 0, width, size.height()), colours[i]);
    return image;
}

void saveShot(const QImage& image, const QString& name)
{
    QDir().mkpath(QStringLiteral(LUMO_TEST_SHOTS));
    image.save(QStringLiteral(LUMO_TEST_SHOTS "/%1.png").arg(name));
}

bool near(QColor actual, QColor expected, int tolerance)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

void showOnScreen(QWidget& widget, QSize size)
{
    widget.resize(size);
    widget.show();
    ASSERT_TRUE(waitUntil([&] { return widget.windowHandle() && widget.windowHandle()->isExposed(); }));
}

QImage grabbed(QWidget& widget, const QString& shot)
{
    QCoreApplication::processEvents();
    const QImage image = widget.grab().toImage();
    if (!shot.isEmpty())
        saveShot(image, shot);
    return image;
}
