#include "projectionmonitor.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "elidedlabel.h"
#include "engine.h"
#include "projectionmonitorcell.h"

#include <QBoxLayout>
#include <QEvent>
#include <QGridLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

ProjectionMonitor::ProjectionMonitor(Engine& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addWidget(makeHeader());

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_grid = new QWidget(m_scroll);
    m_gridLayout = new QGridLayout(m_grid);
    m_gridLayout->setContentsMargins(0, 0, 0, 0);
    m_gridLayout->setSpacing(12);
    m_scroll->setWidget(m_grid);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_grid->setAutoFillBackground(false);
    column->addWidget(m_scroll, 1);
    m_grid->installEventFilter(this);
    m_scroll->viewport()->installEventFilter(this);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &ProjectionMonitor::updateOnScreen);

    m_message = new ElidedLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setFont(ConsoleText::caption(m_message->font()));
    m_message->setColor(ConsoleColors::secondaryText());
    column->addWidget(m_message);

    for (auto changed : {&Engine::currentChanged, &Engine::projectionModeChanged, &Engine::projectionPositionChanged,
                         &Engine::pausedChanged, &Engine::messageChanged})
        connect(&m_engine, changed, this, &ProjectionMonitor::refresh);
    connect(&m_engine, &Engine::showChanged, this, &ProjectionMonitor::syncCells);
    for (auto changed : {&Engine::mappingsChanged, &Engine::displaysChanged, &Engine::screensChanged})
        connect(&m_engine, changed, this, &ProjectionMonitor::refreshCells);
    refresh();
    syncCells();
}

QWidget* ProjectionMonitor::makeHeader()
{
    auto* header = new QWidget(this);
    auto* lines = new QWidget(header);
    m_title = new ElidedLabel(lines);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setFont(ConsoleText::title2(m_title->font()));
    m_subtitle = new ElidedLabel(lines);
    m_subtitle->setObjectName(QStringLiteral("subtitle"));
    m_subtitle->setColor(ConsoleColors::secondaryText());
    auto* text = new QVBoxLayout(lines);
    text->setContentsMargins(0, 0, 0, 0);
    text->setSpacing(4);
    text->addWidget(m_title);
    text->addWidget(m_subtitle);

    m_pause = new QPushButton(header);
    m_pause->setObjectName(QStringLiteral("toggleRunPause"));
    connect(m_pause, &QPushButton::clicked, this, [this] { m_engine.togglePause(); });
    m_stop = new QPushButton(QStringLiteral("停止投放"), header);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_engine.stop(true); });

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(lines, 1);
    row->addWidget(m_pause);
    row->addWidget(m_stop);
    return header;
}

QString ProjectionMonitor::title() const
{
    return m_title->text();
}

QString ProjectionMonitor::subtitle() const
{
    return m_subtitle->text();
}

QList<ProjectionMonitorCell*> ProjectionMonitor::cells() const
{
    QList<ProjectionMonitorCell*> cells;
    for (const ScreenRole& role : m_order)
        cells << m_cells.value(role);
    return cells;
}

void ProjectionMonitor::refresh()
{
    const std::optional<Cue>& current = m_engine.current();
    m_title->setText(current ? current->name : QStringLiteral("当前无节目"));
    const std::optional<ProjectionMode> mode = m_engine.projectionMode();
    QStringList parts;
    if (mode)
        parts << rawValue(*mode);
    if (!m_engine.projectionPosition().isEmpty())
        parts << m_engine.projectionPosition();
    m_subtitle->setText(parts.join(QStringLiteral(" · ")));
    m_pause->setVisible(mode.has_value());
    m_stop->setVisible(mode.has_value());
    m_pause->setText(m_engine.paused() ? QStringLiteral("继续投放") : QStringLiteral("暂停投放"));
    m_message->setText(m_engine.message());
}

// One cell per screen, kept across changes; the grid is laid out again only when the screens change.
void ProjectionMonitor::syncCells()
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    if (screens != m_order) {
        for (auto it = m_cells.begin(); it != m_cells.end();) {
            if (screens.contains(it.key())) {
                ++it;
                continue;
            }
            it.value()->deleteLater();
            it = m_cells.erase(it);
        }
        while (m_gridLayout->count() > 0)
            delete m_gridLayout->takeAt(0);
        m_columns = std::min<int>(int(screens.size()), 2);
        for (int i = 0; i < screens.size(); ++i) {
            ProjectionMonitorCell*& cell = m_cells[screens[i]];
            if (!cell)
                cell = new ProjectionMonitorCell(m_engine, screens[i], m_grid);
            m_gridLayout->addWidget(cell, i / 2, i % 2);
        }
        for (int c = 0; c < 2; ++c)
            m_gridLayout->setColumnStretch(c, c < m_columns ? 1 : 0);
        m_gridLayout->setRowStretch(int(screens.size() + 1) / 2, 1);
        m_order = screens;
    }
    refreshCells();
}

void ProjectionMonitor::refreshCells()
{
    for (ProjectionMonitorCell* cell : std::as_const(m_cells))
        cell->refresh();
    updateOnScreen();
}

// The cells move when the grid or its view is resized.
bool ProjectionMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        updateOnScreen();
    return QWidget::eventFilter(watched, event);
}

void ProjectionMonitor::updateOnScreen()
{
    const QRect seen(QPoint(0, m_scroll->verticalScrollBar()->value()), m_scroll->viewport()->size());
    for (ProjectionMonitorCell* cell : std::as_const(m_cells))
        cell->setOnScreen(seen.intersects(cell->geometry()));
}
