#include "preflightcheck.h"

#include "checkedfiles.h"
#include "consolecolors.h"
#include "consolestate.h"
#include "consoletext.h"
#include "findinglistmodel.h"
#include "findingrowdelegate.h"
#include "lumoicons.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <utility>

static constexpr int kTitleIconSize = 26;

PreflightCheck::PreflightCheck(ConsoleState& state, std::function<void(const QString&)> openWindow, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_launch(state, std::move(openWindow)),
      m_findings(m_engine), m_model(new FindingListModel(this))
{
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("findings"));
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setMinimumHeight(220);
    m_list->setItemDelegate(new FindingRowDelegate(m_list));
    m_list->setMouseTracking(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    connect(m_list, &QListView::clicked, this, &PreflightCheck::jumpTo);

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

    // Outputs and displays are no part of the show: their changes check every cue again.
    for (auto changed :
         {&Engine::projectionModeChanged, &Engine::mappingsChanged, &Engine::displaysChanged, &Engine::screensChanged})
        connect(&m_engine, changed, this, [this] {
            m_findings.forget();
            scheduleRefresh();
        });
    // No finding hangs on a length, and a measured length leaves every file as it was.
    connect(&m_engine, &Engine::showChanged, this, [this] {
        if (!m_engine.lengthMeasured())
            scheduleRefresh();
    });
    // A cue is checked again when the answer about one of its files changes, never by asking the disk again.
    connect(&m_engine.mediaFiles(), &MediaFiles::answered, this, [this](const QUrl& file) {
        m_findings.fileAnswered(file);
        const bool asks = m_asksDisk;
        scheduleRefresh();
        m_asksDisk = asks;
    });
    // The selection decides the covered cue only outside the playlist modes.
    connect(&m_engine, &Engine::selectedChanged, this, [this] {
        if (!usesPlaylist(m_state.projectionMode()))
            scheduleRefresh();
    });
    connect(&state, &ConsoleState::projectionModeChanged, this, &PreflightCheck::scheduleRefresh);
    connect(&state, &ConsoleState::launchAfterCheckChanged, this, &PreflightCheck::scheduleRefresh);
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

void PreflightCheck::scheduleRefresh()
{
    m_asksDisk = true;
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &PreflightCheck::refreshIfPending, Qt::QueuedConnection);
}

void PreflightCheck::refreshIfPending()
{
    if (m_refreshPending)
        refresh();
}

void PreflightCheck::refresh()
{
    m_refreshPending = false;
    const QList<Cue> cues = m_launch.checkCues();
    // Each change asks the disk once about every file the sheet covers, so that a file deleted, restored or
    // replaced since shows once its answer comes; the answers themselves ask nothing more.
    if (std::exchange(m_asksDisk, false))
        m_engine.mediaFiles().refresh(checkedFiles(cues, m_engine.show().assets.value_or(QList<MediaAsset>{})),
                                      FileDepth::header);
    const QList<PreflightFindings::Findings> groups = m_findings.update(cues);
    qsizetype errors = 0;
    qsizetype reminders = 0;
    for (const PreflightFindings::Findings& group : groups)
        for (const Engine::PlaybackIssue& finding : group)
            ++(finding.warning ? reminders : errors);
    const bool clean = errors == 0 && reminders == 0;

    if (m_shieldAlerts != (errors > 0)) {
        m_shieldAlerts = errors > 0;
        m_shield->setPixmap((errors > 0 ? lumoIcon(QStringLiteral("exclamationmark.shield"), ConsoleColors::orange())
                                        : lumoIcon(QStringLiteral("checkmark.shield"), ConsoleColors::green()))
                                .pixmap(kTitleIconSize, kTitleIconSize));
    }
    m_counts->setText(QStringLiteral("%1 个节目 · %2 项错误 · %3 项提醒").arg(cues.size()).arg(errors).arg(reminders));
    m_body->setCurrentIndex(clean ? 0 : 1);
    m_start->setVisible(m_state.launchAfterCheck());
    m_start->setText(clean ? QStringLiteral("开始投放") : QStringLiteral("继续投放"));
    m_start->setEnabled(errors == 0);
    m_model->setFindings(groups);
}

void PreflightCheck::jumpTo(const QModelIndex& index)
{
    const int row = index.row();
    if (row < 0 || row >= m_model->rowCount())
        return;
    // A click follows only a finding that is still current: one that changed under the pointer is not followed.
    const Engine::PlaybackIssue finding = m_model->finding(row);
    refreshIfPending();
    if (row >= m_model->rowCount() || !FindingListModel::sameFinding(m_model->finding(row), finding))
        return;
    // Closing the sheet lets go of this view, so everything needed afterwards is taken first.
    ConsoleState& state = m_state;
    Engine& engine = m_engine;
    state.setPreflightOpen(false);
    engine.setSelected(finding.cue.id);
    if (finding.eventID)
        engine.setFocusEvent(finding.eventID);
    if (!finding.screen)
        return;
    const qsizetype position = engine.showScreens().indexOf(*finding.screen);
    if (position >= 0)
        state.setScreenPage(int(position) / ConsoleState::screensPerPage);
}

void PreflightCheck::start()
{
    refreshIfPending();
    if (!m_start->isEnabled())
        return;
    ProjectionLaunch launch = m_launch;
    m_state.setPreflightOpen(false);
    launch.startProjection();
}
