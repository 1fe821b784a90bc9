#pragma once

#include "projectormapping.h"

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <optional>

// What the mapping editor has selected on its canvas.
struct MappingSelection
{
    // The canvas edits the polygon mask instead of the corners or the mesh nodes.
    bool editingMask = false;
    int selectedMaskPoint = 0;
    // The selected mesh node (row × columns + column); on a flat mapping, the corner drawn as selected.
    int selectedNode = 0;

    bool operator==(const MappingSelection&) const = default;
};

// The mapping editor's edits. Each takes the mapping as the engine holds it and gives back the whole record to
// write, or nothing when it refuses the change; a refused change leaves the selection exactly as it was. Nothing
// that is not a finite number is ever written into the show.
namespace MappingPointEdits {
// The points the canvas draws as handles: the mask while it is edited, else the mesh nodes or the four corners.
QList<QPointF> canvasPoints(const ProjectorMapping& mapping, const MappingSelection& selection);
// A pointer position on a canvas of that size as a point of the output, held to 0…1 (a canvas of no size gives 0
// or 1).
QPointF normalised(QPointF location, QSizeF size);

// A drag of canvas point index to point: a mask point (selects it), a mesh node (selects it) or a corner, which
// stays where it is while the quad would not be convex.
std::optional<ProjectorMapping> updatePoint(const ProjectorMapping& mapping, MappingSelection& selection, int index,
                                            QPointF point);
// A drag of one Bezier handle of a mesh node; its opposite handle mirrors it. Not held to the output.
std::optional<ProjectorMapping> moveHandle(const ProjectorMapping& mapping, int node, ProjectorMapping::Handle handle,
                                           QPointF point);
// "重置控制柄": the node's curve tangents come from its neighbours again.
ProjectorMapping withoutNodeHandles(const ProjectorMapping& mapping, int node);

// "加点": the middle of the side leaving the selected mask point, inserted after it and selected.
std::optional<ProjectorMapping> insertMaskPoint(const ProjectorMapping& mapping, MappingSelection& selection);
// "删点": a mask keeps at least three points; the point that followed takes the selection.
std::optional<ProjectorMapping> removeMaskPoint(const ProjectorMapping& mapping, MappingSelection& selection);
bool canRemoveMaskPoint(const ProjectorMapping& mapping);

// The mesh rows (or columns) as the steppers show them, and a new count that resamples the surface.
int dimension(const ProjectorMapping& mapping, bool rows);
ProjectorMapping resized(const ProjectorMapping& mapping, MappingSelection& selection, bool rows, int count);

// "启用曲面网格" and "启用多边形遮罩".
ProjectorMapping withMesh(const ProjectorMapping& mapping, MappingSelection& selection, bool on);
ProjectorMapping withMask(const ProjectorMapping& mapping, MappingSelection& selection, bool on);
// "重置本路": the identity correction, switched on.
ProjectorMapping resetMapping();

// A number typed into a 0…1 field, held to 0…1; nothing for one that is not finite.
std::optional<double> fieldValue(double typed);
enum class CropPart { x, y, width, height };
double cropValue(const ProjectorMapping& mapping, CropPart part);
std::optional<ProjectorMapping> withCrop(const ProjectorMapping& mapping, CropPart part, double typed);

// Blend widths by edge (left, right, top, bottom). A stored list may be shorter: a missing width reads as 0, and a
// write stores all four.
double edge(const ProjectorMapping& mapping, int index);
std::optional<ProjectorMapping> withEdge(const ProjectorMapping& mapping, int index, double width);
std::optional<ProjectorMapping> withGamma(const ProjectorMapping& mapping, double gamma);
std::optional<ProjectorMapping> withBlackLevel(const ProjectorMapping& mapping, double level);
} // namespace MappingPointEdits
