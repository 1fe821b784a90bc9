#include "transportbar.h"

#include "consolecolors.h"
#include "consolestate.h"
#include "consoletext.h"
#include "elidedlabel.h"
#include "engine.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "switchbutton.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

TransportBar::TransportBar(ConsoleState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_engine(state.engine())
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(makeTickedRow());
    column->addWidget(makeMainRow());
    column->addWidget(makeStatusRow());

    for (auto changed :
         {&Engine::showChanged, &Engine::selectedChanged, &Engine::currentChanged, &Engine::pausedChanged,
          &Engine::projectionModeChanged, &Engine::videoBlackChanged, &Engine::mutedChanged})
        connect(&m_engine, changed, this, &TransportBar::refresh);
    connect(&m_state, &ConsoleState::selectedScreensChanged, this, &TransportBar::refresh);
    refresh();
}

QPushButton* TransportBar::addButton(QWidget* row, const QString& title, void (TransportBar::*action)())
{
    auto* button = new QPushButton(title, row);
    connect(button, &QPushButton::clicked, this, action);
    row->layout()->addWidget(button);
    return button;
}

QWidget* TransportBar::makeTickedRow()
{
    m_tickedRow = new QWidget(this);
    auto* layout = new QHBoxLayout(m_tickedRow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_tickedCount = new QLabel(m_tickedRow);
    m_tickedCount->setObjectName(QStringLiteral("tickedScreens"));
    ConsoleText::setColour(m_tickedCount, ConsoleColors::cyan());
    layout->addWidget(m_tickedCount);
    m_playTicked = addButton(m_tickedRow, QStringLiteral("播放"), &TransportBar::playOnTicked);
    addButton(m_tickedRow, QStringLiteral("暂停"), &TransportBar::pauseTicked);
    addButton(m_tickedRow, QStringLiteral("继续"), &TransportBar::resumeTicked);
    addButton(m_tickedRow, QStringLiteral("停止"), &TransportBar::stopTicked);
    addButton(m_tickedRow, QStringLiteral("返回节目投放"), &TransportBar::returnTicked);
    layout->addStretch(1);
    for (QWidget* child : m_tickedRow->findChildren<QWidget*>())
        child->setFont(ConsoleText::caption(child->font()));
    return m_tickedRow;
}

QWidget* TransportBar::makeMainRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_play = addButton(row, QStringLiteral("播放节目"), &TransportBar::playSelected);
    m_play->setIcon(lumoIcon(QStringLiteral("play.fill"), Qt::white));
    QPalette prominent = m_play->palette();
    prominent.setColor(QPalette::Button, ConsoleColors::tint());
    prominent.setColor(QPalette::ButtonText, Qt::white);
    prominent.setColor(QPalette::Disabled, QPalette::Button, ConsoleColors::tint().darker(250));
    prominent.setColor(QPalette::Disabled, QPalette::ButtonText, ConsoleColors::tertiaryText());
    m_play->setPalette(prominent);
    m_preview = addButton(row, QStringLiteral("预监所选"), &TransportBar::previewSelected);
    m_pause = new QPushButton(row);
    m_pause->setObjectName(QStringLiteral("togglePause"));
    connect(m_pause, &QPushButton::clicked, this, [this] { m_engine.togglePause(); });
    layout->addWidget(m_pause);
    auto* stop = new QPushButton(QStringLiteral("全部停止"), row);
    lumoHelp(stop, QStringLiteral("停止节目和各屏幕的独立播放"));
    connect(stop, &QPushButton::clicked, this, [this] { m_engine.stop(true); });
    layout->addWidget(stop);
    layout->addStretch(1);
    m_go = addButton(row, QStringLiteral("GO 下一条"), &TransportBar::go);
    // Return and the keypad's Enter both count; neither acts while GO is disabled.
    for (QKeyCombination keys : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_go->isEnabled())
                go();
        });
        m_goShortcuts << shortcut;
    }
    return row;
}

QWidget* TransportBar::makeStatusRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_current = new ElidedLabel(row);
    m_current->setObjectName(QStringLiteral("currentCue"));
    m_current->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layout->addWidget(m_current, 1);
    m_black = new SwitchButton(QStringLiteral("屏幕黑场"), row);
    connect(m_black, &QPushButton::toggled, this, [this](bool on) { m_engine.setVideoBlack(on); });
    m_mute = new SwitchButton(QStringLiteral("音频静音"), row);
    connect(m_mute, &QPushButton::toggled, this, [this](bool on) { m_engine.setMuted(on); });
    layout->addWidget(m_black);
    layout->addWidget(m_mute);
    for (QWidget* child : row->findChildren<QWidget*>())
        child->setFont(ConsoleText::caption(child->font()));
    return row;
}

QString TransportBar::currentText() const
{
    return m_current->text();
}

bool TransportBar::goShortcutEnabled() const
{
    return m_goShortcuts.constFirst()->isEnabled();
}

void TransportBar::refresh()
{
    const QSet<ScreenRole> ticked = m_state.selectedScreens();
    m_tickedRow->setVisible(!ticked.isEmpty());
    m_tickedCount->setText(QStringLiteral("已选 %1 屏").arg(ticked.size()));

    const bool hasSelection = m_state.selection().has_value();
    const bool running = m_engine.projectionMode().has_value();
    m_playTicked->setEnabled(hasSelection);
    m_play->setEnabled(hasSelection && !running);
    m_preview->setEnabled(hasSelection);
    m_pause->setText(m_engine.paused() ? QStringLiteral("节目继续") : QStringLiteral("节目暂停"));
    m_go->setEnabled(m_engine.next().has_value() && !running);
    for (QShortcut* shortcut : std::as_const(m_goShortcuts))
        shortcut->setEnabled(m_go->isEnabled());

    const std::optional<Cue>& current = m_engine.current();
    m_current->setText(QStringLiteral("当前 · ") + (current ? current->name : QStringLiteral("—")));
    const QSignalBlocker quietBlack(m_black);
    m_black->setChecked(m_engine.videoBlack());
    const QSignalBlocker quietMute(m_mute);
    m_mute->setChecked(m_engine.muted());
}

// The cue is read from the list at the moment of the click; a selection that is gone does nothing.
void TransportBar::playSelected()
{
    const std::optional<Cue> cue = m_state.selection();
    if (!cue)
        return;
    m_state.setPreviewMode(false);
    m_engine.take(*cue, false);
}

void TransportBar::previewSelected()
{
    const std::optional<Cue> cue = m_state.selection();
    if (!cue)
        return;
    m_state.setPreviewMode(true);
    m_engine.previewCue(*cue);
}

void TransportBar::go()
{
    m_state.setPreviewMode(false);
    m_engine.go();
}

void TransportBar::playOnTicked()
{
    const std::optional<Cue> cue = m_state.selection();
    if (!cue)
        return;
    m_state.setPreviewMode(false);
    m_engine.play(*cue, m_state.selectedScreens());
}

void TransportBar::pauseTicked()
{
    m_engine.pauseScreens(m_state.selectedScreens());
}

void TransportBar::resumeTicked()
{
    m_engine.resumeScreens(m_state.selectedScreens());
}

void TransportBar::stopTicked()
{
    m_engine.stopScreens(m_state.selectedScreens());
}

void TransportBar::returnTicked()
{
    m_engine.returnScreensToProjection(m_state.selectedScreens());
}
