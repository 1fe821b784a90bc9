#include "consolestatusbar.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "elidedlabel.h"
#include "engine.h"
#include "lumoicons.h"

#include <QHBoxLayout>
#include <QLabel>

ConsoleStatusBar::ConsoleStatusBar(Engine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_message(new ElidedLabel(this)), m_runState(new QLabel(this))
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, ConsoleColors::barBackground());
    setPalette(p);
    setFont(ConsoleText::caption(font()));

    auto* icon = new QLabel(this);
    const int side = fontMetrics().height();
    icon->setPixmap(lumoIcon("waveform.path", ConsoleColors::cyan()).pixmap(side, side));

    auto* row = new QHBoxLayout(this);
    row->setSpacing(8);
    row->setContentsMargins(16, 8, 16, 8);
    row->addWidget(icon);
    row->addWidget(m_message, 1);
    row->addWidget(m_runState);

    m_message->setText(engine.message());
    connect(&engine, &Engine::messageChanged, this, [this] { m_message->setText(m_engine.message()); });
    connect(&engine, &Engine::projectionModeChanged, this, &ConsoleStatusBar::showRunState);
    showRunState();
}

QString ConsoleStatusBar::message() const
{
    return m_message->shownText();
}

QString ConsoleStatusBar::runState() const
{
    return m_runState->text();
}

void ConsoleStatusBar::showRunState()
{
    const bool running = m_engine.projectionMode().has_value();
    m_runState->setText(running ? "投放中" : "待机");
    QPalette p = m_runState->palette();
    p.setColor(QPalette::WindowText, running ? ConsoleColors::green() : ConsoleColors::secondaryText());
    m_runState->setPalette(p);
}
