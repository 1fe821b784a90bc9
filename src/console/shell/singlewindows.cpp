#include "singlewindows.h"

#include "consolecolors.h"
#include "edithistory.h"
#include "engine.h"
#include "lumohelp.h"
#include "lumouserguide.h"
#include "projectionmappingeditor.h"
#include "projectionmonitor.h"
#include "remotehost.h"
#include "remotehostpanel.h"

#include "windowplacement.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

SingleWindows::SingleWindows(Engine& engine, QObject* parent) : QObject(parent), m_engine(engine)
{
    m_kinds = {
        {"remote-control",
         {"移动遥控",
          {},
          {460, 300},
          460,
          false,
          [](Engine& engine) { return new RemoteHostPanel(*engine.remoteHost()); }}},
        {"user-guide",
         {"使用说明",
          {760, 620},
          {620, 420},
          0,
          false,
          [](Engine& engine) { return new LumoUserGuide(engine.history().recoveryDirectory()); }}},
        {"projector-mapping",
         {"投影校正与融合",
          {980, 570},
          {860, 460},
          0,
          false,
          [](Engine& engine) { return new ProjectionMappingEditor(engine); }}},
        {"projection-monitor",
         {"投放监看", {860, 410}, {640, 320}, 0, true, [](Engine& engine) { return new ProjectionMonitor(engine); }}},
    };
}

SingleWindows::~SingleWindows()
{
    for (const QPointer<QWidget>& window : std::as_const(m_windows))
        delete window.data();
}

void SingleWindows::open(const QString& id)
{
    const auto kind = m_kinds.constFind(id);
    if (kind == m_kinds.constEnd())
        return;
    QPointer<QWidget>& window = m_windows[id];
    if (!window)
        window = make(id, *kind);
    window->show();
    window->raise();
    window->activateWindow();
    emit opened(id);
}

QWidget* SingleWindows::window(const QString& id) const
{
    return m_windows.value(id).data();
}

QList<QWidget*> SingleWindows::openWindows() const
{
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& window : m_windows)
        if (window)
            windows << window.data();
    return windows;
}

void SingleWindows::setTooltipsEnabled(bool enabled)
{
    m_tooltipsEnabled = enabled;
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it)
        if (it.value() && m_kinds.value(it.key()).followsTooltipSwitch)
            setLumoTooltipsEnabled(it.value(), enabled);
}

QWidget* SingleWindows::make(const QString& id, const Kind& kind)
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(id);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(kind.title);
    window->setAutoFillBackground(true);
    QPalette p = window->palette();
    p.setColor(QPalette::Window, ConsoleColors::windowBackground());
    window->setPalette(p);
    auto* column = new QVBoxLayout(window);
    column->setContentsMargins(0, 0, 0, 0);
    QWidget* content = kind.content(m_engine);
    content->setParent(window);
    column->addWidget(content);
    window->setMinimumSize(kind.minimumSize);
    QSize size = kind.defaultSize;
    if (kind.fixedWidth > 0) {
        window->setFixedWidth(kind.fixedWidth);
        size = QSize(kind.fixedWidth, std::max(kind.minimumSize.height(), window->sizeHint().height()));
    }
    // On the display the operator works on: the one of the window that asked for it.
    const QWidget* asking = QApplication::activeWindow();
    placeOpeningWindow(*window, size, asking ? asking->screen() : QGuiApplication::primaryScreen());
    if (kind.followsTooltipSwitch)
        setLumoTooltipsEnabled(window, m_tooltipsEnabled);
    return window;
}
