#include "engine.h"

#include "displaybindings.h"
#include "edithistory.h"
#include "horizontalarrangement.h"

ProjectorMapping Engine::mapping(const ScreenRole& role) const
{
    if (!m_show.projectorMappings || !m_show.projectorMappings->contains(role.rawValue))
        return {};
    ProjectorMapping mapping = m_show.projectorMappings->value(role.rawValue);
    if (mapping.source && !showScreens().contains(*mapping.source))
        mapping.source.reset();
    return mapping;
}

bool Engine::screenHasBinding(const ScreenRole& role) const
{
    return (m_show.displayBindings && m_show.displayBindings->contains(role.rawValue)) ||
           m_displayBindings->mappings().contains(role);
}

void Engine::setMapping(const ProjectorMapping& mapping, const ScreenRole& role)
{
    Show show = m_show;
    if (!show.projectorMappings)
        show.projectorMappings.emplace();
    show.projectorMappings->insert(role.rawValue, mapping);
    setShow(std::move(show));
}

void Engine::applyProjectorMapping(const ScreenRole& role)
{
    ProjectorMapping applied = mapping(role);
    applied.enabled = true;
    setMapping(applied, role);
    setProjectionTestPattern(false);
    restoreDisplayBindings();
    if (m_displayBindings->raise(role)) {
        setMessage(role.rawValue + QStringLiteral(" · 已应用投影校正"));
        return;
    }
    setMessage(role.rawValue + QStringLiteral(" · 已应用到监看，绑定显示器后可输出"));
}

void Engine::arrangeHorizontal(const ScreenRole& source, double overlap)
{
    QList<ScreenRole> bound;
    QList<ProjectorMapping> current;
    const QMap<ScreenRole, int> mappings = m_displayBindings->mappings();
    for (const ScreenRole& role : showScreens()) {
        if (!mappings.contains(role))
            continue;
        bound.append(role);
        current.append(mapping(role));
    }
    const std::optional<QList<ProjectorMapping>> arranged = arrangedHorizontally(current, source, overlap);
    if (!arranged)
        return;
    const EditHistory::Group oneStep(*m_history);
    for (qsizetype i = 0; i < bound.size(); ++i)
        setMapping(arranged->at(i), bound[i]);
}
