#pragma once

#include "projectormapping.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class Engine;
class MappingEditorState;

// Drawn over the mapping editor's preview: the outline of the edited mapping (its quad, mask or mesh curves), a
// handle for each of its points and the Bezier handles of the selected mesh node. Dragging a handle edits the
// mapping on every move; one drag is one undo step.
class MappingOverlay : public QWidget
{
    Q_OBJECT
  public:
    explicit MappingOverlay(MappingEditorState& state, QWidget* parent = nullptr);
    ~MappingOverlay() override;

    // The preview's place in this widget, which reaches a little beyond it on every side.
    QRectF canvas() const;
    // Where the canvas draws point i, and the handle of the selected node, in this widget's coordinates.
    QPointF pointPosition(int index) const;
    std::optional<QPointF> handlePosition(ProjectorMapping::Handle handle) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Drag
    {
        // A canvas point, or a Bezier handle of the selected node.
        int point = -1;
        std::optional<ProjectorMapping::Handle> handle;
    };

    QList<QPointF> points() const;
    QPointF toCanvas(QPointF normalised) const;
    bool showsNodeHandles(const ProjectorMapping& mapping, int pointCount) const;
    std::optional<Drag> hit(QPointF position) const;
    void dragTo(QPointF position);
    void endDrag();
    void paintOutline(QPainter& painter, const ProjectorMapping& mapping, const QList<QPointF>& points) const;
    void paintNodeHandles(QPainter& painter, const ProjectorMapping& mapping) const;

    MappingEditorState& m_state;
    // Outlives the editor's state, so a drag cut short by closing the window still ends.
    QPointer<Engine> m_engine;
    std::optional<Drag> m_drag;
};
