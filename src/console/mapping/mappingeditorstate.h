#pragma once

#include "mappingpointedits.h"
#include "projectormapping.h"
#include "screenrole.h"

#include <QObject>
#include <optional>

class Engine;

// The mapping editor's own state, shared by the window's parts, and its way to the edited screen's mapping. The
// mapping is never kept here: it is read from the engine each time and written back whole, so undo, edits from
// elsewhere and another project show at once.
class MappingEditorState : public QObject
{
    Q_OBJECT
  public:
    explicit MappingEditorState(Engine& engine, QObject* parent = nullptr);

    Engine& engine() const { return m_engine; }

    // The screen chosen in "投影输出"; none means the first screen.
    std::optional<ScreenRole> selected() const { return m_selected; }
    // Choosing another screen ends mask editing and selects the first point again.
    void setSelected(const std::optional<ScreenRole>& screen);
    // The chosen screen while it is one of the show's, else the first.
    ScreenRole screen() const;

    ProjectorMapping mapping() const;
    void write(const ProjectorMapping& mapping);
    // Runs an edit over the mapping and a copy of the selection; both are taken only when the edit is accepted.
    template <typename Edit> void apply(Edit edit)
    {
        MappingSelection selection = m_selection;
        const std::optional<ProjectorMapping> edited = edit(mapping(), selection);
        if (!edited)
            return;
        const bool selectionChanged = selection != m_selection;
        m_selection = selection;
        write(*edited);
        if (selectionChanged)
            emit changed();
    }

    const MappingSelection& selection() const { return m_selection; }
    void setSelection(const MappingSelection& selection);
    void setEditingMask(bool editing);
    // The preview shows the calibration grid; it goes off when a cue goes on air.
    bool previewGrid() const { return m_previewGrid; }
    void setPreviewGrid(bool on);

    // The horizontal stitching: the picture spread across the bound screens, and their overlap.
    std::optional<ScreenRole> sharedSource() const { return m_sharedSource; }
    void setSharedSource(const std::optional<ScreenRole>& source) { m_sharedSource = source; }
    double overlap() const { return m_overlap; }
    void setOverlap(double overlap) { m_overlap = overlap; }
    void arrangeHorizontal();
    // "应用到输出": the screen's correction on its output, and the editor back to the plain picture.
    void applyToOutput();

  signals:
    // The editor's own state changed (screen, selection, mask editing, preview grid).
    void changed();

  private:
    Engine& m_engine;
    std::optional<ScreenRole> m_selected;
    std::optional<ScreenRole> m_sharedSource;
    double m_overlap = 0.12;
    MappingSelection m_selection;
    bool m_previewGrid = true;
};
