#include "preflightcheck.h"

#include "consolecolors.h"
#include "consolestate.h"
#include "consoletext.h"
#include "findingrowdelegate.h"
#include "lumoicons.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

static constexpr int kTitleIconSize = 26;

// Two findings say the same when all but their identity agree, so an unchanged check keeps its rows.
static bool sameFindings(const QList<Engine::PlaybackIssue>& a, const QList<Engine::PlaybackIssue>& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const auto& x, const auto& y) {
        return x.cue == y.cue && x.eventID == y.eventID && x.screen == y.screen && x.text == y.text &&
               x.warning == y.warning;
    });
}

PreflightCheck::PreflightCheck(ConsoleState& state, std::function<void(const QString&)> openWindow, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_launch(state, std::move(openWindow))
{
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("findings"));
    m_list->setMinimumHeight(220);
    m_list->setItemDelegate(new FindingRowDelegate(m_list));
    m_list->setMouseTracking(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    connect(m_list, &QListWidget::itemClicked, this, &PreflightCheck::jumpTo);

    m_body = new QStackedWidget(this);
    m_body->addWidget(makePlaceholder());
    m_body->addWidget(m_list);

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, [this] { m_state.setPreflightOpen(false); });
    m_start = new QPushButton(this);
    m_start->setObjectName(QStringLiteral("startRun"));
    m_start->setDefault(true);
    connect(m_start, &QPushButton::clicked, this, &PreflightCheck::start);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(m_start);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    column->addWidget(makeHeading());
    column->addWidget(m_body);
    column->addLayout(buttons);

    for (auto changed : {&Engine::showChanged, &Engine::selectedChanged, &Engine::projectionModeChanged,
                         &Engine::mappingsChanged, &Engine::displaysChanged, &Engine::screensChanged})
        connect(&m_engine, changed, this, &PreflightCheck::refresh);
    connect(&state, &ConsoleState::projectionModeChanged, this, &PreflightCheck::refresh);
    connect(&state, &ConsoleState::launchAfterCheckChanged, this, &PreflightCheck::refresh);
    refresh();
}

QWidget* PreflightCheck::makeHeading()
{
    auto* heading = new QWidget(this);
    m_shield = new QLabel(heading);
    auto* title = new QLabel(QStringLiteral("投放检查"), heading);
    title->setFont(ConsoleText::title2(title->font()));
    m_counts = new QLabel(heading);
    m_counts->setObjectName(QStringLiteral("counts"));
    m_counts->setFont(ConsoleText::caption(m_counts->font()));
    ConsoleText::setColour(m_counts, ConsoleColors::secondaryText());

    auto* lines = new QVBoxLayout;
    lines->setSpacing(3);
    lines->addWidget(title);
    lines->addWidget(m_counts);
    auto* row = new QHBoxLayout(heading);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(m_shield);
    row->addLayout(lines, 1);
    return heading;
}

QWidget* PreflightCheck::makePlaceholder()
{
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("readyPlaceholder"));
    placeholder->setMinimumHeight(120);
    auto* icon = new QLabel(placeholder);
    icon->setPixmap(lumoIcon(QStringLiteral("checkmark.circle"), ConsoleColors::secondaryText()).pixmap(36, 36));
    icon->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel(QStringLiteral("可以投放"), placeholder);
    text->setFont(ConsoleText::scaled(text->font(), 1.2, true));
    text->setAlignment(Qt::AlignCenter);
    auto* column = new QVBoxLayout(placeholder);
    column->addStretch(1);
    column->addWidget(icon);
    column->addWidget(text);
    column->addStretch(1);
    return placeholder;
}

void PreflightCheck::refresh()
{
    QList<Engine::PlaybackIssue> findings = m_launch.findings();
    const auto errors = std::count_if(findings.cbegin(), findings.cend(), [](const auto& f) { return !f.warning; });
    const auto reminders = findings.size() - errors;

    m_shield->setPixmap((errors > 0 ? lumoIcon(QStringLiteral("exclamationmark.shield"), ConsoleColors::orange())
                                    : lumoIcon(QStringLiteral("checkmark.shield"), ConsoleColors::green()))
                            .pixmap(kTitleIconSize, kTitleIconSize));
    m_counts->setText(QStringLiteral("%1 个节目 · %2 项错误 · %3 项提醒")
                          .arg(m_launch.checkCues().size())
                          .arg(errors)
                          .arg(reminders));
    m_body->setCurrentIndex(findings.isEmpty() ? 0 : 1);
    m_start->setVisible(m_state.launchAfterCheck());
    m_start->setText(findings.isEmpty() ? QStringLiteral("开始投放") : QStringLiteral("继续投放"));
    m_start->setEnabled(errors == 0);

    if (sameFindings(findings, m_findings))
        return;
    m_findings = std::move(findings);
    m_list->clear();
    for (int i = 0; i < m_findings.size(); ++i) {
        auto* item = new QListWidgetItem(m_findings.at(i).text, m_list);
        item->setData(FindingRowDelegate::WarningRole, m_findings.at(i).warning);
        item->setData(FindingRowDelegate::CueNameRole, m_findings.at(i).cue.name);
    }
}

void PreflightCheck::jumpTo(QListWidgetItem* item)
{
    const int row = m_list->row(item);
    if (row < 0 || row >= m_findings.size())
        return;
    // Closing the sheet lets go of this view, so everything needed afterwards is taken first.
    const Engine::PlaybackIssue finding = m_findings.at(row);
    ConsoleState& state = m_state;
    Engine& engine = m_engine;
    state.setPreflightOpen(false);
    engine.setSelected(finding.cue.id);
    if (finding.eventID)
        engine.setFocusEvent(finding.eventID);
    if (!finding.screen)
        return;
    const qsizetype position = engine.show().screens().indexOf(*finding.screen);
    if (position >= 0)
        state.setScreenPage(int(position) / ConsoleState::screensPerPage);
}

void PreflightCheck::start()
{
    ProjectionLaunch launch = m_launch;
    m_state.setPreflightOpen(false);
    launch.startProjection();
}
