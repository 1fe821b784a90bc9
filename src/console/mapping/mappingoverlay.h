#pragma once

#include "mappinghandlelayer.h"
#include "projectormapping.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class Engine;
class MappingEditorState;

// Drawn over the mapping editor's preview: the outline of the edited mapping (its quad, mask or mesh curves), a
// handle for each of its points and the Bezier handles of the selected mesh node. Dragging a handle edits the
// mapping on every move; one drag is one undo step. A traced mask of thousands of points has its outline and handles
// drawn off the main thread (MappingHandleLayer), so switching to it never holds the console.
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
    // Every point's handle is drawn as the points stand now; false while the handles of a great many points are
    // still being drawn off the main thread.
    bool showsAllHandles() const;

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
    // Beyond this many points the outline and the handles are drawn off the main thread.
    static bool drawnApart(qsizetype pointCount) { return pointCount > kDrawnDirectly; }
    static constexpr qsizetype kDrawnDirectly = 2000;
    MappingHandleLayer::Request layerRequest(const QList<QPointF>& points) const;
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
    MappingHandleLayer* m_layer;
};
