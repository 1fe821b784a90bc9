#include "mappingoverlay.h"

#include "consolecolors.h"
#include "edithistory.h"
#include "engine.h"
#include "mappingeditorstate.h"
#include "mappingpointedits.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

using Handle = ProjectorMapping::Handle;

// The handles at the output's edges reach into the margin around the preview.
static constexpr double kInset = 8;
static constexpr double kPointRadius = MappingHandleLayer::kPointRadius;
static constexpr double kHandleSide = 11;
static constexpr int kCurveSteps = 64;
static const Handle kHandles[] = {Handle::left, Handle::right, Handle::up, Handle::down};

MappingOverlay::MappingOverlay(MappingEditorState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(&state.engine()), m_layer(new MappingHandleLayer(this))
{
    setObjectName(QStringLiteral("mappingOverlay"));
    setAttribute(Qt::WA_TranslucentBackground);
    auto redraw = [this] { update(); };
    connect(&state.engine(), &Engine::showChanged, this, redraw);
    connect(&state, &MappingEditorState::changed, this, redraw);
    connect(m_layer, &MappingHandleLayer::ready, this, redraw);
}

MappingOverlay::~MappingOverlay()
{
    endDrag();
}

QList<QPointF> MappingOverlay::points() const
{
    return MappingPointEdits::canvasPoints(m_state.mapping(), m_state.selection());
}

MappingHandleLayer::Request MappingOverlay::layerRequest(const QList<QPointF>& points) const
{
    return {points, canvas(), size(), devicePixelRatioF()};
}

bool MappingOverlay::showsAllHandles() const
{
    const QList<QPointF> canvasPoints = points();
    return !m_state.mapping().enabled || !drawnApart(canvasPoints.size()) ||
           m_layer->isCurrent(layerRequest(canvasPoints));
}

QRectF MappingOverlay::canvas() const
{
    return QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
}

QPointF MappingOverlay::toCanvas(QPointF point) const
{
    const QRectF area = canvas();
    return area.topLeft() + QPointF(point.x() * area.width(), point.y() * area.height());
}

QPointF MappingOverlay::pointPosition(int index) const
{
    return toCanvas(points().value(index));
}

std::optional<QPointF> MappingOverlay::handlePosition(Handle handle) const
{
    const ProjectorMapping mapping = m_state.mapping();
    if (!showsNodeHandles(mapping, int(points().size())))
        return std::nullopt;
    const std::optional<QPointF> at = mapping.handle(handle, m_state.selection().selectedNode);
    if (!at)
        return std::nullopt;
    return toCanvas(*at);
}

bool MappingOverlay::showsNodeHandles(const ProjectorMapping& mapping, int pointCount) const
{
    const int node = m_state.selection().selectedNode;
    return mapping.enabled && !m_state.selection().editingMask && mapping.mesh && node >= 0 && node < pointCount;
}

void MappingOverlay::paintEvent(QPaintEvent*)
{
    const ProjectorMapping mapping = m_state.mapping();
    if (!mapping.enabled)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QList<QPointF> canvasPoints = points();
    const MappingSelection& selection = m_state.selection();
    const int selected = selection.editingMask ? selection.selectedMaskPoint : selection.selectedNode;
    if (drawnApart(canvasPoints.size())) {
        // The last layer drawn stays until the next is ready; the selected point, dragged or not, is drawn at once.
        m_layer->request(layerRequest(canvasPoints));
        if (const MappingHandleLayer::Layer* layer = m_layer->layer())
            painter.drawImage(QPointF(0, 0), layer->image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ConsoleColors::yellow());
        if (selected >= 0 && selected < canvasPoints.size())
            painter.drawEllipse(toCanvas(canvasPoints[selected]), kPointRadius, kPointRadius);
        return;
    }
    paintOutline(painter, mapping, canvasPoints);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < canvasPoints.size(); ++i) {
        painter.setBrush(i == selected ? ConsoleColors::yellow() : ConsoleColors::cyan());
        painter.drawEllipse(toCanvas(canvasPoints[i]), kPointRadius, kPointRadius);
    }
    if (showsNodeHandles(mapping, int(canvasPoints.size())))
        paintNodeHandles(painter, mapping);
}

void MappingOverlay::paintOutline(QPainter& painter, const ProjectorMapping& mapping,
                                  const QList<QPointF>& points) const
{
    const auto scaled = [this](QPointF p) { return toCanvas(p); };
    QPainterPath path;
    if (!m_state.selection().editingMask && mapping.mesh) {
        const int rows = mapping.rows();
        const int columns = mapping.columns();
        for (int r = 0; r < rows; ++r) {
            const double v = double(r) / (rows - 1);
            path.moveTo(scaled(mapping.surface(0, v)));
            for (int k = 1; k <= kCurveSteps; ++k)
                path.lineTo(scaled(mapping.surface(double(k) / kCurveSteps, v)));
        }
        for (int c = 0; c < columns; ++c) {
            const double u = double(c) / (columns - 1);
            path.moveTo(scaled(mapping.surface(u, 0)));
            for (int k = 1; k <= kCurveSteps; ++k)
                path.lineTo(scaled(mapping.surface(u, double(k) / kCurveSteps)));
        }
    } else if (!points.isEmpty()) {
        path.moveTo(scaled(points.first()));
        for (qsizetype i = 1; i < points.size(); ++i)
            path.lineTo(scaled(points[i]));
        path.closeSubpath();
    }
    QColor outline = ConsoleColors::yellow();
    outline.setAlphaF(0.75f);
    painter.strokePath(path, QPen(outline, 1));
}

void MappingOverlay::paintNodeHandles(QPainter& painter, const ProjectorMapping& mapping) const
{
    const int node = m_state.selection().selectedNode;
    const QPointF centre = pointPosition(node);
    QPen dashed(ConsoleColors::orange(), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    dashed.setDashPattern({3, 3});
    dashed.setMiterLimit(10);
    for (Handle which : kHandles) {
        const std::optional<QPointF> at = mapping.handle(which, node);
        if (!at)
            continue;
        const QPointF position = toCanvas(*at);
        painter.setPen(dashed);
        painter.drawLine(centre, position);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ConsoleColors::orange());
        const QRectF square(position - QPointF(kHandleSide / 2, kHandleSide / 2), QSizeF(kHandleSide, kHandleSide));
        painter.drawRoundedRect(square, 2, 2);
    }
}

// Bezier handles lie above the points; among the points, the one drawn last is on top.
std::optional<MappingOverlay::Drag> MappingOverlay::hit(QPointF position) const
{
    if (!m_state.mapping().enabled)
        return std::nullopt;
    for (Handle which : kHandles) {
        const std::optional<QPointF> at = handlePosition(which);
        if (at && std::abs(at->x() - position.x()) <= kHandleSide / 2 &&
            std::abs(at->y() - position.y()) <= kHandleSide / 2)
            return Drag{-1, which};
    }
    const QList<QPointF> canvasPoints = points();
    if (drawnApart(canvasPoints.size())) {
        const std::optional<int> index = m_layer->pointAt(position, kPointRadius, layerRequest(canvasPoints));
        return index ? std::optional(Drag{*index, std::nullopt}) : std::nullopt;
    }
    for (int i = int(canvasPoints.size()) - 1; i >= 0; --i) {
        const QPointF offset = toCanvas(canvasPoints[i]) - position;
        if (QPointF::dotProduct(offset, offset) <= kPointRadius * kPointRadius)
            return Drag{i, std::nullopt};
    }
    return std::nullopt;
}

void MappingOverlay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_drag)
        return;
    m_drag = hit(event->position());
    if (!m_drag)
        return;
    m_state.engine().history().beginDrag();
    dragTo(event->position());
}

void MappingOverlay::mouseMoveEvent(QMouseEvent* event)
{
    if (m_drag)
        dragTo(event->position());
}

void MappingOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        endDrag();
}

void MappingOverlay::hideEvent(QHideEvent* event)
{
    endDrag();
    QWidget::hideEvent(event);
}

void MappingOverlay::dragTo(QPointF position)
{
    const QSizeF size = canvas().size();
    position -= canvas().topLeft();
    if (m_drag->handle) {
        // Handles may be pulled outside the output; a canvas of no size gives no finite point, so nothing moves.
        const QPointF point(position.x() / size.width(), position.y() / size.height());
        const Handle which = *m_drag->handle;
        m_state.apply([&](const ProjectorMapping& mapping, MappingSelection& selection) {
            return MappingPointEdits::moveHandle(mapping, selection.selectedNode, which, point);
        });
        return;
    }
    const int index = m_drag->point;
    const QPointF point = MappingPointEdits::normalised(position, size);
    m_state.apply([&](const ProjectorMapping& mapping, MappingSelection& selection) {
        return MappingPointEdits::updatePoint(mapping, selection, index, point);
    });
}

void MappingOverlay::endDrag()
{
    if (!m_drag)
        return;
    m_drag.reset();
    if (m_engine)
        m_engine->history().endDrag();
}
