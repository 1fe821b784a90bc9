#include "timelineviewport.h"

#include "consolecolors.h"
#include "engine.h"
#include "lumohelp.h"
#include "timelineassetdrag.h"
#include "timelineclipview.h"
#include "timelineclock.h"
#include "timelineeditormodel.h"

#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <cmath>

using namespace TimelineGeometry;

const QString TimelineViewport::kHelp =
    QStringLiteral("滚轮缩放，左键拖动定位预览，右键拖动平移，按住 Alt 临时取消吸附");
static const QString kHandleHelp = QStringLiteral("拖动调整图片时长");

static bool bypassesSnap(Qt::KeyboardModifiers modifiers)
{
    return modifiers.testFlag(Qt::AltModifier);
}

TimelineViewport::TimelineViewport(TimelineEditorModel& model, Engine& engine, QWidget* parent)
    : QWidget(parent), m_model(model), m_engine(engine), m_left(model)
{
    setAcceptDrops(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lumoHelp(this, kHelp);

    m_mouse.zoom = [this](double delta, double x) { m_model.view().zoomAbout(delta, x); };
    m_mouse.pan = [this](double dx) { m_model.view().pan(dx); };
    m_mouse.menu = [this](QPointF point) { return m_model.insertionMenu(point); };

    connect(&m_model, &TimelineEditorModel::changed, this, [this] {
        if (sizeHint().height() != height())
            updateGeometry();
        update();
    });
    TimelineClock* clock = m_engine.timelineClock();
    m_playheadPosition = clock->position();
    connect(clock, &TimelineClock::positionChanged, this, &TimelineViewport::playheadMoved);
}

QSize TimelineViewport::sizeHint() const
{
    return {600, int(areaHeight(int(m_model.cue().lanes().size())))};
}

QSize TimelineViewport::minimumSizeHint() const
{
    return {100, sizeHint().height()};
}

void TimelineViewport::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRect(event->rect());
    if (event->rect().top() < kRulerHeight)
        paintRuler(painter);
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    for (int i = 0; i < lanes.size(); ++i)
        if (QRectF(0, laneTop(i), width(), kLaneHeight).intersects(event->rect()))
            paintLane(painter, lanes[i], i);

    const double insertionX = xOf(m_model.selection().insertion(), m_model.view().scrollTime(), m_model.view().zoom());
    if (std::isfinite(insertionX))
        painter.fillRect(QRectF(insertionX, 0, 1, height()), ConsoleColors::orange());
    const double playheadX = xOf(m_playheadPosition, m_model.view().scrollTime(), m_model.view().zoom());
    if (m_model.cue().isLive() && std::isfinite(playheadX))
        painter.fillRect(QRectF(playheadX, 0, 1, height()), ConsoleColors::cyan());
}

void TimelineViewport::paintRuler(QPainter& painter) const
{
    QFont caption = font();
    caption.setPixelSize(10);
    painter.setFont(caption);
    painter.setPen(ConsoleColors::primaryText());
    const QFontMetricsF metrics(caption);
    const double baseline = 10 + (metrics.ascent() - metrics.descent()) / 2;
    for (const RulerLabel& label : m_model.view().rulerLabels(width()))
        painter.drawText(QPointF(label.x + 3, baseline), QString::number(label.seconds) + QLatin1Char('s'));
}

void TimelineViewport::paintLane(QPainter& painter, const TimelineLane& lane, int index) const
{
    const QRectF row(0, laneTop(index), width(), kLaneHeight);
    const std::optional<TimelineViewState::ClipMove> moving = m_model.view().movingClip();
    const bool highlighted = m_model.view().targetedLane() == lane || (moving && moving->lane == lane);
    painter.save();
    painter.setClipRect(row, Qt::IntersectClip);
    painter.fillRect(row, highlighted ? QColor(0x64, 0xD2, 0xFF, 46) : QColor(255, 255, 255, 11));

    painter.setRenderHint(QPainter::Antialiasing, false);
    QFont caption = font();
    caption.setPixelSize(10);
    painter.setFont(caption);
    const std::optional<QUuid> selected = m_model.selection().eventID();
    for (const TimelineLayout::LaneClip& clip : m_model.layout().visibleClips(lane, width()))
        TimelineClipView(clip, row.top())
            .paint(painter, selected == clip.event.id, moving && moving->id == clip.event.id);
    if (moving && moving->lane == lane) {
        QColor ghost = ConsoleColors::cyan();
        ghost.setAlphaF(0.65f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ghost);
        const double x = xOf(moving->time, m_model.view().scrollTime(), m_model.view().zoom());
        painter.drawRoundedRect(QRectF(x, row.top() + kClipTop, moving->width, kClipBottom - kClipTop), 4, 4);
    }
    painter.restore();
    painter.fillRect(QRectF(0, row.bottom() - 1, width(), 1), ConsoleColors::divider());
}

void TimelineViewport::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_left.press(event->position(), width());
    else if (event->button() == Qt::RightButton)
        m_mouse.rightPress(event->position());
    event->accept();
}

void TimelineViewport::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons().testFlag(Qt::LeftButton))
        m_left.drag(event->position(), bypassesSnap(event->modifiers()));
    if (event->buttons().testFlag(Qt::RightButton))
        m_mouse.rightDrag(event->position());
    if (event->buttons() == Qt::NoButton)
        updateHelp(event->position());
}

void TimelineViewport::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_left.release(event->position(), bypassesSnap(event->modifiers()));
    if (event->button() != Qt::RightButton)
        return;
    const std::optional<QPointF> pressed = m_mouse.rightDown();
    const QList<TimelineMenuItem> items = m_mouse.rightRelease();
    // Shown on a later turn, once the release has been handled.
    if (pressed && !items.isEmpty())
        QTimer::singleShot(0, this, [this, at = *pressed, items] { showMenu(at, items); });
}

void TimelineViewport::showMenu(QPointF point, const QList<TimelineMenuItem>& items)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const TimelineMenuItem& item : items)
        connect(menu->addAction(item.title), &QAction::triggered, this, [invoke = item.invoke] { invoke(); });
    menu->popup(mapToGlobal(point.toPoint()));
}

void TimelineViewport::wheelEvent(QWheelEvent* event)
{
    const QPointF delta = event->pixelDelta().isNull()
                              ? QPointF(event->angleDelta()) / 120 * TimelineMouseInput::kPointsPerNotch
                              : QPointF(event->pixelDelta());
    m_mouse.wheel(delta.x(), delta.y(), event->position().x(), event->modifiers().testFlag(Qt::ShiftModifier));
    event->accept();
}

void TimelineViewport::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape || !m_left.active())
        return QWidget::keyPressEvent(event);
    m_left.cancel();
}

void TimelineViewport::focusOutEvent(QFocusEvent* event)
{
    // A menu or dialog that takes the mouse away ends a drag that would never see its release.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        m_left.cancel();
    QWidget::focusOutEvent(event);
}

// A press or drag cut off by hiding the timeline starts afresh next time.
void TimelineViewport::hideEvent(QHideEvent* event)
{
    m_left.cancel();
    m_mouse.reset();
    QWidget::hideEvent(event);
}

// The right button opens the insertion menu itself, on release and only when it did not pan.
void TimelineViewport::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}

void TimelineViewport::updateHelp(QPointF point)
{
    QString help = kHelp;
    if (const std::optional<TimelineLane> lane = laneAt(point.y()))
        if (const std::optional<TimelineEvent> hit = m_model.layout().eventAt(point))
            for (const TimelineLayout::LaneClip& clip : m_model.layout().visibleClips(*lane, width()))
                if (clip.event.id == hit->id) {
                    const TimelineClipView view(clip, laneTop(int(m_model.cue().lanes().indexOf(*lane))));
                    const auto handle = view.handleRect();
                    help = handle && handle->contains(point) ? kHandleHelp : view.help();
                }
    if (lumoHelpText(this) != help)
        lumoHelp(this, help);
}

std::optional<TimelineLane> TimelineViewport::laneAt(double y) const
{
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    const std::optional<int> index = laneIndexAt(y, int(lanes.size()));
    return index ? std::optional(lanes[*index]) : std::nullopt;
}

void TimelineViewport::dragEnterEvent(QDragEnterEvent* event)
{
    if (TimelineAssetDrag::assetID(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TimelineViewport::dragMoveEvent(QDragMoveEvent* event)
{
    const std::optional<TimelineLane> lane = laneAt(event->position().y());
    targetLane(lane);
    if (lane)
        event->acceptProposedAction();
    else
        event->ignore(QRect(0, 0, width(), int(kRulerHeight)));
}

void TimelineViewport::dragLeaveEvent(QDragLeaveEvent* event)
{
    targetLane(std::nullopt);
    QWidget::dragLeaveEvent(event);
}

void TimelineViewport::dropEvent(QDropEvent* event)
{
    targetLane(std::nullopt);
    const std::optional<TimelineLane> lane = laneAt(event->position().y());
    const std::optional<QUuid> asset = TimelineAssetDrag::assetID(*event->mimeData());
    if (!lane || !asset ||
        !m_model.placement().dropAsset(*asset, *lane, event->position().x(), bypassesSnap(event->modifiers()))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TimelineViewport::targetLane(std::optional<TimelineLane> lane)
{
    if (m_dropLane == lane)
        return;
    if (m_dropLane)
        m_model.view().setLaneTargeted(*m_dropLane, false);
    m_dropLane = lane;
    if (lane)
        m_model.view().setLaneTargeted(*lane, true);
}

QRect TimelineViewport::playheadStrip(double position) const
{
    const double x = xOf(position, m_model.view().scrollTime(), m_model.view().zoom());
    if (!std::isfinite(x) || std::abs(x) > 1e6)
        return {};
    return {int(std::floor(x)) - 1, 0, 3, height()};
}

// Only the strips the line leaves and enters are repainted, so a running timeline costs two thin repaints.
void TimelineViewport::playheadMoved(double position)
{
    if (!m_model.cue().isLive()) {
        m_playheadPosition = position;
        return;
    }
    update(playheadStrip(m_playheadPosition));
    m_playheadPosition = position;
    update(playheadStrip(position));
}
