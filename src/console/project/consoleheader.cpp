#include "consoleheader.h"

#include "consolecolors.h"
#include "consolestate.h"
#include "consoletext.h"
#include "elidedlabel.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "lumomarkview.h"
#include "lumosettings.h"
#include "projectfilework.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

// The file's name without its last extension; a name that only starts with a dot keeps it.
static QString projectTitle(const std::optional<QUrl>& url)
{
    if (!url)
        return QStringLiteral("Lumoria");
    const QString name = url->fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

ConsoleHeader::ConsoleHeader(ConsoleState& state, ProjectChooser& chooser,
                             std::function<void(const QString&)> openWindow, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine()), m_openWindow(std::move(openWindow)),
      m_files(state, chooser, this), m_launch(state, m_openWindow)
{
    auto* mark = new LumoMark(this);
    mark->setFixedSize(29, 29);

    m_mode = new QComboBox(this);
    m_mode->setAccessibleName(QStringLiteral("投放方式"));
    m_mode->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (ProjectionMode mode : allCases<ProjectionMode>())
        m_mode->addItem(rawValue(mode), int(mode));
    connect(m_mode, &QComboBox::activated, this,
            [this] { m_state.setProjectionMode(ProjectionMode(m_mode->currentData().toInt())); });

    m_check = new QPushButton(QStringLiteral("投放检查"), this);
    connect(m_check, &QPushButton::clicked, this, [this] { m_launch.openCheck(); });

    m_start = new QPushButton(lumoIcon(QStringLiteral("play.fill"), Qt::white), QStringLiteral("开始投放"), this);
    QPalette prominent = m_start->palette();
    prominent.setColor(QPalette::Button, ConsoleColors::tint());
    prominent.setColor(QPalette::ButtonText, Qt::white);
    prominent.setColor(QPalette::Disabled, QPalette::Button, ConsoleColors::tint().darker(250));
    m_start->setPalette(prominent);
    lumoHelp(m_start, QStringLiteral("按所选方式开始投放节目"));
    connect(m_start, &QPushButton::clicked, this, [this] { m_launch.requestStart(); });

    m_autoMonitor = new QCheckBox(QStringLiteral("自动监看"), this);
    lumoHelp(m_autoMonitor, QStringLiteral("开始投放时自动打开实时监看窗口"));
    connect(m_autoMonitor, &QCheckBox::toggled, this,
            [this](bool on) { m_state.settings().setAutoOpenProjectionMonitor(on); });

    auto* monitor = new QPushButton(QStringLiteral("投放监看"), this);
    lumoHelp(monitor, QStringLiteral("打开投放监看窗口"));
    connect(monitor, &QPushButton::clicked, this, [this] { m_openWindow(QStringLiteral("projection-monitor")); });

    auto* guide = new QToolButton(this);
    guide->setObjectName(QStringLiteral("userGuide"));
    guide->setIcon(lumoIcon(QStringLiteral("questionmark.circle")));
    guide->setAccessibleName(QStringLiteral("使用说明"));
    guide->setAutoRaise(true);
    lumoHelp(guide, QStringLiteral("打开使用说明"));
    connect(guide, &QToolButton::clicked, this, [this] { m_openWindow(QStringLiteral("user-guide")); });

    auto* save = new QPushButton(QStringLiteral("保存"), this);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QPushButton::clicked, this, [this] { m_files.saveShow(false); });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(mark);
    row->addWidget(makeTitle());
    row->addStretch(1);
    row->addWidget(m_mode);
    row->addWidget(m_check);
    row->addWidget(m_start);
    row->addWidget(m_autoMonitor);
    row->addWidget(monitor);
    row->addWidget(makeProjectMenu());
    row->addWidget(guide);
    row->addWidget(save);

    for (auto changed :
         {&Engine::showChanged, &Engine::selectedChanged, &Engine::projectionModeChanged, &Engine::projectURLChanged,
          &Engine::hasUnsavedChangesChanged, &Engine::canRecoverProjectChanged})
        connect(&m_engine, changed, this, &ConsoleHeader::refresh);
    connect(&state, &ConsoleState::projectionModeChanged, this, &ConsoleHeader::refresh);
    connect(&m_engine.projectFiles(), &ProjectFileWork::opened, this, [this] { m_files.showOpened(); });
    connect(&state.settings(), &LumoSettings::autoOpenProjectionMonitorChanged, this, &ConsoleHeader::refresh);
    refresh();
}

QWidget* ConsoleHeader::makeTitle()
{
    auto* title = new QWidget(this);
    m_title = new ElidedLabel(title);
    m_title->setObjectName(QStringLiteral("showTitle"));
    m_title->setFont(ConsoleText::headline(m_title->font()));
    // Takes the room its name needs while there is room, and is cut short before the buttons are.
    m_title->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_badgeIcon = new QLabel(title);
    m_badgeText = new QLabel(title);
    m_badgeText->setObjectName(QStringLiteral("saveBadge"));
    m_badgeText->setFont(ConsoleText::caption2(m_badgeText->font()));

    auto* badge = new QHBoxLayout;
    badge->setSpacing(4);
    badge->addWidget(m_badgeIcon);
    badge->addWidget(m_badgeText);
    badge->addStretch(1);
    auto* lines = new QVBoxLayout(title);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(3);
    lines->addWidget(m_title);
    lines->addLayout(badge);
    return title;
}

// A push button keeps room for its menu's arrow beside the label (a tool button draws it over the label).
QPushButton* ConsoleHeader::makeProjectMenu()
{
    auto* button = new QPushButton(lumoIcon(QStringLiteral("folder")), QStringLiteral("工程"), this);
    button->setObjectName(QStringLiteral("projectMenu"));
    auto* menu = new QMenu(button);
    menu->addAction(QStringLiteral("移动遥控…"), this, [this] { m_openWindow(QStringLiteral("remote-control")); });
    m_open = menu->addAction(QStringLiteral("打开工程…"), this, [this] { m_files.openShow(); });
    menu->addAction(QStringLiteral("另存为…"), this, [this] { m_files.saveShow(true); });
    menu->addAction(QStringLiteral("重新定位缺失素材…"), this, [this] { m_files.relinkAssets(); });
    m_recover = menu->addAction(QStringLiteral("恢复未保存工程"), this, [this] { m_engine.recoverUnsavedProject(); });
    button->setMenu(menu);
    return button;
}

void ConsoleHeader::refresh()
{
    refreshTitle();
    const bool running = m_engine.projectionMode().has_value();
    m_mode->setCurrentIndex(m_mode->findData(int(m_state.projectionMode())));
    m_mode->setEnabled(!running);
    const bool canLaunch = m_launch.canLaunch();
    m_check->setEnabled(canLaunch);
    m_start->setEnabled(canLaunch);
    m_open->setEnabled(!running);
    m_autoMonitor->setChecked(m_state.settings().autoOpenProjectionMonitor());
    m_recover->setVisible(m_engine.canRecoverProject());
    m_recover->setEnabled(!running && !m_engine.hasUnsavedChanges());
}

void ConsoleHeader::refreshTitle()
{
    m_title->setText(projectTitle(m_engine.projectURL()));
    const bool unsaved = m_engine.hasUnsavedChanges();
    m_badgeText->setText(unsaved ? QStringLiteral("未保存")
                                 : (m_engine.projectURL() ? QStringLiteral("已保存") : QStringLiteral("新工程")));
    const QColor colour = unsaved ? ConsoleColors::orange() : ConsoleColors::secondaryText();
    ConsoleText::setColour(m_badgeText, colour);
    const int size = m_badgeText->fontMetrics().height();
    m_badgeIcon->setPixmap(
        lumoIcon(unsaved ? QStringLiteral("circle.fill") : QStringLiteral("checkmark.circle"), colour)
            .pixmap(size, size));
}
