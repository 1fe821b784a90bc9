#include "mappinghandlelayer.h"

#include "consolecolors.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

QPointF placed(const MappingHandleLayer::Request& request, QPointF point)
{
    const QRectF& area = request.canvas;
    return area.topLeft() + QPointF(point.x() * area.width(), point.y() * area.height());
}

// The widget pixel a position falls on, or -1 off the widget (or not a number).
qsizetype cellOf(QPointF position, QSize size)
{
    const double x = std::floor(position.x());
    const double y = std::floor(position.y());
    if (!(x >= 0 && y >= 0 && x < size.width() && y < size.height()))
        return -1;
    return qsizetype(y) * size.width() + qsizetype(x);
}

// The closed outline through the points, leaving out those that fall on the pixel of the point kept before them.
QPolygonF outlineOf(const MappingHandleLayer::Request& request)
{
    QPolygonF outline;
    QPointF last(-1e9, -1e9);
    for (const QPointF& point : request.points) {
        const QPointF at = placed(request, point);
        if (std::abs(at.x() - last.x()) < 0.5 && std::abs(at.y() - last.y()) < 0.5)
            continue;
        outline.append(at);
        last = at;
    }
    if (!outline.isEmpty())
        outline.append(outline.first());
    return outline;
}

} // namespace

MappingHandleLayer::MappingHandleLayer(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

MappingHandleLayer::~MappingHandleLayer()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void MappingHandleLayer::request(const Request& request)
{
    if (m_drawing) {
        if (!m_drawing->sameAs(request))
            m_waiting = request;
        else
            m_waiting.reset();
        return;
    }
    if (!isCurrent(request))
        start(request);
}

void MappingHandleLayer::start(const Request& request)
{
    m_drawing = request;
    m_pool.start([this, request] {
        auto layer = std::make_shared<const Layer>(draw(request));
        QMetaObject::invokeMethod(
            this, [this, layer] { finished(layer); }, Qt::QueuedConnection);
    });
}

void MappingHandleLayer::finished(const std::shared_ptr<const Layer>& layer)
{
    m_layer = layer;
    m_drawing.reset();
    if (m_waiting) {
        const Request next = *std::exchange(m_waiting, std::nullopt);
        if (!isCurrent(next))
            start(next);
    }
    emit ready();
}

MappingHandleLayer::Layer MappingHandleLayer::draw(const Request& request)
{
    Layer layer{request, {}, {}};
    const QSize size = request.size;
    layer.topmost.assign(size_t(std::max(size.width(), 0)) * size_t(std::max(size.height(), 0)), -1);
    for (qsizetype i = 0; i < request.points.size(); ++i)
        if (const qsizetype cell = cellOf(placed(request, request.points[i]), size); cell >= 0)
            layer.topmost[size_t(cell)] = int(i);

    layer.image = QImage(size * request.pixelRatio, QImage::Format_ARGB32_Premultiplied);
    layer.image.setDevicePixelRatio(request.pixelRatio);
    layer.image.fill(Qt::transparent);
    if (layer.image.isNull())
        return layer;
    QPainter painter(&layer.image);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor outline = ConsoleColors::yellow();
    outline.setAlphaF(0.75f);
    painter.setPen(QPen(outline, 1));
    painter.drawPolyline(outlineOf(request));

    std::vector<int> shown;
    for (const int index : layer.topmost)
        if (index >= 0)
            shown.push_back(index);
    std::sort(shown.begin(), shown.end());
    painter.setPen(Qt::NoPen);
    painter.setBrush(ConsoleColors::cyan());
    for (const int index : shown)
        painter.drawEllipse(placed(request, request.points[index]), kPointRadius, kPointRadius);
    return layer;
}

std::optional<int> MappingHandleLayer::pointAt(QPointF position, double radius, const Request& now) const
{
    if (!m_layer)
        return std::nullopt;
    const QSize size = m_layer->drawn.size;
    const int reach = int(std::ceil(radius)) + 1;
    std::optional<int> found;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const qsizetype cell = cellOf(position + QPointF(dx, dy), size);
            const int index = cell >= 0 ? m_layer->topmost[size_t(cell)] : -1;
            if (index < 0 || index >= now.points.size() || (found && *found >= index))
                continue;
            const QPointF offset = placed(now, now.points[index]) - position;
            if (QPointF::dotProduct(offset, offset) <= radius * radius)
                found = index;
        }
    return found;
}
