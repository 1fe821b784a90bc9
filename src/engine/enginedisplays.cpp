#include "engine.h"

#include "displaybindings.h"
#include "edithistory.h"
#include "independentscreens.h"

QList<DisplayScreen> Engine::displays() const
{
    return m_displayBindings->displays();
}

QMap<ScreenRole, int> Engine::mappings() const
{
    return m_displayBindings->mappings();
}

std::optional<DisplayScreen> Engine::display(const ScreenRole& role) const
{
    return m_displayBindings->display(role);
}

void Engine::bind(const ScreenRole& role, std::optional<int> number)
{
    const std::optional<DisplayScreen> display = number ? m_displayBindings->display(*number) : std::nullopt;
    if (number) {
        if (m_displayBindings->isConsoleDisplay(*number) || m_displayBindings->holdsKeyWindow(*number)) {
            setMessage(QStringLiteral("请先把控制台移到另一块显示器"));
            return;
        }
        if (m_displayBindings->isTakenByAnother(*number, role)) {
            setMessage(QStringLiteral("该显示器已分配给另一路输出"));
            return;
        }
        // Binding to a display that is gone would drop the operator's stored binding and leave the screen
        // pointing at nothing until the next display change.
        if (!display) {
            setMessage(QStringLiteral("该显示器未连接"));
            return;
        }
    }
    const bool withWindow = display && program(role);
    m_displayBindings->rebind(role, display, withWindow);
    if (m_history->recordsEdits())
        storeBinding(role, display ? std::optional<QString>(display->identity) : std::nullopt);
    if (withWindow)
        setMessage(role.rawValue + QStringLiteral("已绑定 · ") + display->name);
}

// One display belongs to one screen: a screen that still names it in the show gives it up, or a later restore
// would hand the display to whichever of the two comes first.
void Engine::storeBinding(const ScreenRole& role, const std::optional<QString>& identity)
{
    if (!identity && !m_show.displayBindings)
        return;
    Show show = m_show;
    QMap<QString, QString> bindings = show.displayBindings.value_or(QMap<QString, QString>{});
    bindings.remove(role.rawValue);
    if (identity) {
        for (auto it = bindings.begin(); it != bindings.end();)
            it = it.value() == *identity ? bindings.erase(it) : std::next(it);
        bindings.insert(role.rawValue, *identity);
    }
    show.displayBindings = bindings;
    setShow(std::move(show));
}

void Engine::restoreDisplayBindings()
{
    m_displayBindings->restore(showScreens(), m_show.displayBindings.value_or(QMap<QString, QString>{}));
}

QString Engine::screenStatus(const ScreenRole& role) const
{
    const bool bound = screenHasBinding(role);
    if (bound && !m_displayBindings->hasWindow(role))
        return QStringLiteral("掉线");
    if (const Engine* independent = m_independent->engine(role))
        return independent->paused() ? QStringLiteral("独立暂停") : QStringLiteral("独立控制");
    return bound ? QStringLiteral("在线") : QStringLiteral("仅监看");
}
