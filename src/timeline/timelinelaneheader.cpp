#include "timelinelaneheader.h"

#include "consolecolors.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "shownlength.h"
#include "timelineeditormodel.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

using namespace TimelineGeometry;

static constexpr double kSpacing = 4;
static constexpr int kButtonSize = 16;

TimelineLaneHeader::TimelineLaneHeader(TimelineEditorModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedWidth(int(kHeaderWidth));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_model, &TimelineEditorModel::changed, this, &TimelineLaneHeader::refresh);
    refresh();
}

QSize TimelineLaneHeader::sizeHint() const
{
    return {int(kHeaderWidth), int(areaHeight(int(m_model.cue().lanes().size())))};
}

QFont TimelineLaneHeader::captionFont() const
{
    QFont caption = font();
    caption.setPixelSize(10);
    return caption;
}

// Places one add button after the title of each message lane, making more only when there are more such lanes.
void TimelineLaneHeader::refresh()
{
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    setFixedHeight(int(areaHeight(int(lanes.size()))));
    const QFontMetricsF metrics(captionFont());
    int used = 0;
    for (int i = 0; i < lanes.size(); ++i) {
        if (lanes[i].track != Track::message)
            continue;
        if (used == m_addButtons.size()) {
            auto* button = new QToolButton(this);
            button->setAutoRaise(true);
            button->setIcon(lumoIcon(QStringLiteral("plus.circle")));
            button->setIconSize(QSize(12, 12));
            button->setFixedSize(kButtonSize, kButtonSize);
            button->setAccessibleName(QStringLiteral("添加通讯事件"));
            lumoHelp(button, QStringLiteral("在指针位置添加通讯事件"));
            connect(button, &QToolButton::clicked, &m_model, [this] { m_model.edits().openNewMessage(); });
            m_addButtons.append(button);
        }
        QToolButton* button = m_addButtons[used++];
        const double left =
            std::min(metrics.horizontalAdvance(lanes[i].title()) + kSpacing, kHeaderWidth - kButtonSize);
        button->move(int(left), int(laneTop(i) + (kLaneHeight - kButtonSize) / 2));
        button->show();
    }
    for (int i = used; i < m_addButtons.size(); ++i)
        m_addButtons[i]->hide();
    update();
}

void TimelineLaneHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(captionFont());
    painter.setPen(ConsoleColors::primaryText());
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter.drawText(QRectF(0, 0, kHeaderWidth, kRulerHeight), flags, QStringLiteral("时间"));
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    for (int i = 0; i < lanes.size(); ++i) {
        painter.setPen(m_model.selection().isHighlightedLane(lanes[i]) ? ConsoleColors::cyan()
                                                                       : ConsoleColors::secondaryText());
        painter.drawText(QRectF(0, laneTop(i), kHeaderWidth, kLaneHeight), flags, shownLength(lanes[i].title()));
    }
}

void TimelineLaneHeader::contextMenuEvent(QContextMenuEvent* event)
{
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    const std::optional<int> index = laneIndexAt(event->pos().y(), int(lanes.size()));
    if (!index)
        return;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(QStringLiteral("删除轨道")), &QAction::triggered, &m_model,
            [this, lane = lanes[*index]] { m_model.edits().requestLayerDeletion(lane); });
    menu->popup(event->globalPos());
}
