#include "mappingeditorstate.h"

#include "engine.h"

MappingEditorState::MappingEditorState(Engine& engine, QObject* parent) : QObject(parent), m_engine(engine)
{
    connect(&engine, &Engine::currentChanged, this, [this] {
        if (m_engine.current())
            setPreviewGrid(false);
    });
}

void MappingEditorState::setSelected(const std::optional<ScreenRole>& screen)
{
    if (screen == m_selected)
        return;
    m_selected = screen;
    m_selection = MappingSelection{};
    emit changed();
}

ScreenRole MappingEditorState::screen() const
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    if (m_selected && screens.contains(*m_selected))
        return *m_selected;
    return screens.isEmpty() ? ScreenRole{QStringLiteral("屏幕 1")} : screens.first();
}

ProjectorMapping MappingEditorState::mapping() const
{
    return m_engine.mapping(screen());
}

void MappingEditorState::write(const ProjectorMapping& mapping)
{
    m_engine.setMapping(mapping, screen());
}

void MappingEditorState::setSelection(const MappingSelection& selection)
{
    if (selection == m_selection)
        return;
    m_selection = selection;
    emit changed();
}

void MappingEditorState::setEditingMask(bool editing)
{
    MappingSelection selection = m_selection;
    selection.editingMask = editing;
    setSelection(selection);
}

void MappingEditorState::setPreviewGrid(bool on)
{
    if (on == m_previewGrid)
        return;
    m_previewGrid = on;
    emit changed();
}

void MappingEditorState::arrangeHorizontal()
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    if (screens.isEmpty())
        return;
    // A source screen removed since it was chosen counts as none chosen.
    const bool chosen = m_sharedSource && screens.contains(*m_sharedSource);
    m_engine.arrangeHorizontal(chosen ? *m_sharedSource : screens.first(), m_overlap);
}

void MappingEditorState::applyToOutput()
{
    m_engine.applyProjectorMapping(screen());
    setEditingMask(false);
    setPreviewGrid(false);
}
