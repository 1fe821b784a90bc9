#include "timelinenavigation.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "lumoicons.h"
#include "operatorlocale.h"
#include "timelineeditormodel.h"
#include "wheelguard.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>

// The scroll slider counts hundredths of a second.
static constexpr double kScrollSteps = 100;

TimelineNavigation::TimelineNavigation(TimelineEditorModel& model, std::function<double()> visibleWidth,
                                       QWidget* parent)
    : QWidget(parent), m_model(model), m_visibleWidth(std::move(visibleWidth))
{
    m_toStart = new QToolButton(this);
    m_toStart->setObjectName(QStringLiteral("toStart"));
    m_toStart->setIcon(lumoIcon(QStringLiteral("backward.end")));
    m_toStart->setAccessibleName(QStringLiteral("回到时间轴起点"));
    m_toStart->setAutoRaise(true);
    connect(m_toStart, &QToolButton::clicked, this, [this] { m_model.view().setScrollTime(0); });

    m_scroll = new QSlider(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("horizontalScroll"));
    m_scroll->setAccessibleName(QStringLiteral("时间轴横向滚动"));
    WheelGuard::letWheelMoveView(m_scroll);
    m_scroll->installEventFilter(this);
    connect(m_scroll, &QSlider::valueChanged, this,
            [this](int steps) { m_model.view().setScrollTime(steps / kScrollSteps); });

    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setFont(ConsoleText::caption(m_position->font()));
    ConsoleText::setColour(m_position, ConsoleColors::secondaryText());
    m_position->setMinimumWidth(60);
    m_position->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(int(TimelineGeometry::kHeaderWidth), 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_toStart);
    row->addWidget(m_scroll, 1);
    row->addWidget(m_position);

    connect(&m_model, &TimelineEditorModel::changed, this, &TimelineNavigation::refresh);
    refresh();
}

QString TimelineNavigation::positionText(double seconds)
{
    return operatorLocale().toString(seconds, 'f', 1) + QStringLiteral(" 秒");
}

void TimelineNavigation::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        refresh();
    QWidget::changeEvent(event);
}

// A notch moves the view by a tenth of the span it shows: earlier for a turn up or to the left, as a pan over the
// timeline does; a fine-grained wheel moves by its share of a notch.
bool TimelineNavigation::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_scroll || event->type() != QEvent::Wheel)
        return QWidget::eventFilter(watched, event);
    const QPoint angle = static_cast<QWheelEvent*>(event)->angleDelta();
    const int delta = std::abs(angle.y()) < std::abs(angle.x()) ? angle.x() : angle.y();
    const double width = m_visibleWidth ? m_visibleWidth() : 0;
    if (delta != 0 && width > 0)
        m_model.view().pan(delta / double(QWheelEvent::DefaultDeltasPerStep) * width / 10);
    event->accept();
    return true;
}

void TimelineNavigation::refresh()
{
    const double scrollTime = m_model.view().scrollTime();
    m_toStart->setEnabled(scrollTime != 0);
    {
        const QSignalBlocker blocker(m_scroll);
        m_scroll->setRange(0, int(std::ceil(m_model.layout().navigationLimit() * kScrollSteps)));
        if (!m_scroll->isSliderDown())
            m_scroll->setValue(int(std::lround(scrollTime * kScrollSteps)));
    }
    m_position->setText(positionText(scrollTime));
}
