#pragma once

#include "mappingpointedits.h"

#include <QScrollArea>
#include <array>
#include <functional>
#include <optional>

class DecimalSlider;
class MappingEditorState;
class NumberField;
class QCheckBox;
class QLabel;
class QPushButton;
class ScreenRolePicker;
class Stepper;

// The mapping editor's side panel: the preview grid, the picture source, the curved mesh with its size and node
// handles, the polygon mask with its points, the black-level lift, the input region, the edge blends and the blend
// curve. Each control reads the edited mapping from the engine and writes the whole record back.
class MappingSidePanel : public QScrollArea
{
    Q_OBJECT
  public:
    explicit MappingSidePanel(MappingEditorState& state, QWidget* parent = nullptr);

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    using Edit = std::function<std::optional<ProjectorMapping>(const ProjectorMapping&, MappingSelection&)>;

    QWidget* makeMeshGroup(QWidget* parent);
    QWidget* makeMaskGroup(QWidget* parent);
    QWidget* makeCropFields(QWidget* parent);
    QWidget* makeBlackLevel(QWidget* parent);
    // A slider that writes the mapping on every move; one drag of it is one undo step.
    DecimalSlider* makeSlider(const QString& name, double minimum, double maximum,
                              std::function<std::optional<ProjectorMapping>(const ProjectorMapping&, double)> write,
                              QWidget* parent);
    QWidget* labelled(const QString& label, QWidget* control, QWidget* parent, QLabel* value = nullptr);
    void apply(const Edit& edit);
    void refresh();

    MappingEditorState& m_state;
    QCheckBox* m_previewGrid;
    ScreenRolePicker* m_source;
    QCheckBox* m_meshOn;
    QWidget* m_meshGroup;
    Stepper* m_rows;
    Stepper* m_columns;
    QLabel* m_node;
    QCheckBox* m_maskOn;
    QWidget* m_maskGroup;
    QCheckBox* m_editMask;
    QPushButton* m_addPoint;
    QPushButton* m_removePoint;
    DecimalSlider* m_blackLevel;
    QLabel* m_blackLevelText;
    std::array<NumberField*, 4> m_crop{};
    std::array<DecimalSlider*, 4> m_edges{};
    DecimalSlider* m_gamma;
};
