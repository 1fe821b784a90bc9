#pragma once

#include "screenrole.h"

#include <QWidget>

class DecimalSlider;
class ElidedLabel;
class Engine;
class MappedOutput;
class MappingEditorState;
class MappingOverlay;
class MappingSidePanel;
class QCheckBox;
class QLabel;
class QPushButton;
class ScreenRolePicker;

// The content of the window "投影校正与融合": the screen to edit and its switches, a live preview of its corrected
// output with draggable points, the side panel, the horizontal stitching of the bound screens, and the status line.
// Every change goes straight into the show as an edit that can be undone, also while this window has the focus.
class ProjectionMappingEditor : public QWidget
{
    Q_OBJECT
  public:
    explicit ProjectionMappingEditor(Engine& engine, QWidget* parent = nullptr);
    ~ProjectionMappingEditor() override;

    MappingEditorState& state() const { return *m_state; }
    MappedOutput* preview() const { return m_preview; }
    MappingOverlay* overlay() const { return m_overlay; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* makeHeader();
    QWidget* makeCanvas();
    QWidget* makeStitching();
    void addUndoShortcuts();
    void refresh();

    Engine& m_engine;
    MappingEditorState* m_state;
    ScreenRolePicker* m_screen;
    QCheckBox* m_enabled;
    QCheckBox* m_outputGrid;
    MappedOutput* m_preview;
    MappingOverlay* m_overlay;
    MappingSidePanel* m_panel;
    ScreenRolePicker* m_sharedSource;
    DecimalSlider* m_overlap;
    QLabel* m_overlapText;
    QPushButton* m_arrange;
    ElidedLabel* m_message;
};
