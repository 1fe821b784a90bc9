#include "mappingpointedits.h"

#include <algorithm>
#include <cmath>

namespace MappingPointEdits {

static const QList<QPointF> kWholeOutput{{0, 0}, {1, 0}, {1, 1}, {0, 1}};

static bool isFinite(QPointF point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// Below 0 or not a number gives 0; above 1 gives 1.
static double unit(double value)
{
    if (!(value > 0))
        return 0;
    return std::min(value, 1.0);
}

QList<QPointF> canvasPoints(const ProjectorMapping& mapping, const MappingSelection& selection)
{
    if (selection.editingMask)
        return mapping.polygonMask.value_or(QList<QPointF>{});
    if (mapping.mesh)
        return mapping.meshPoints();
    return mapping.corners;
}

QPointF normalised(QPointF location, QSizeF size)
{
    return {unit(location.x() / size.width()), unit(location.y() / size.height())};
}

std::optional<ProjectorMapping> updatePoint(const ProjectorMapping& mapping, MappingSelection& selection, int index,
                                            QPointF point)
{
    if (!isFinite(point) || index < 0)
        return std::nullopt;
    ProjectorMapping edited = mapping;
    if (selection.editingMask) {
        if (!edited.polygonMask || index >= edited.polygonMask->size())
            return std::nullopt;
        selection.selectedMaskPoint = index;
        (*edited.polygonMask)[index] = point;
        return edited;
    }
    if (edited.mesh) {
        QList<QPointF> nodes = edited.meshPoints();
        if (index >= nodes.size())
            return std::nullopt;
        selection.selectedNode = index;
        nodes[index] = point;
        edited.mesh = nodes;
        return edited;
    }
    if (index >= edited.corners.size())
        return std::nullopt;
    edited.corners[index] = point;
    if (!edited.convex())
        return std::nullopt;
    return edited;
}

std::optional<ProjectorMapping> moveHandle(const ProjectorMapping& mapping, int node, ProjectorMapping::Handle handle,
                                           QPointF point)
{
    if (!isFinite(point) || !mapping.handle(handle, node))
        return std::nullopt;
    ProjectorMapping edited = mapping;
    edited.setHandle(handle, node, point);
    return edited;
}

ProjectorMapping withoutNodeHandles(const ProjectorMapping& mapping, int node)
{
    ProjectorMapping edited = mapping;
    if (edited.meshHandles)
        edited.meshHandles->remove(QString::number(node));
    return edited;
}

std::optional<ProjectorMapping> insertMaskPoint(const ProjectorMapping& mapping, MappingSelection& selection)
{
    if (!mapping.polygonMask)
        return std::nullopt;
    QList<QPointF> mask = *mapping.polygonMask;
    const int selected = selection.selectedMaskPoint;
    if (selected < 0 || selected >= mask.size())
        return std::nullopt;
    const QPointF a = mask[selected];
    const QPointF b = mask[(selected + 1) % mask.size()];
    mask.insert(selected + 1, (a + b) * 0.5);
    ProjectorMapping edited = mapping;
    edited.polygonMask = mask;
    selection.selectedMaskPoint = selected + 1;
    return edited;
}

bool canRemoveMaskPoint(const ProjectorMapping& mapping)
{
    return mapping.polygonMask && mapping.polygonMask->size() > 3;
}

std::optional<ProjectorMapping> removeMaskPoint(const ProjectorMapping& mapping, MappingSelection& selection)
{
    if (!canRemoveMaskPoint(mapping))
        return std::nullopt;
    QList<QPointF> mask = *mapping.polygonMask;
    const int selected = selection.selectedMaskPoint;
    if (selected < 0 || selected >= mask.size())
        return std::nullopt;
    mask.removeAt(selected);
    ProjectorMapping edited = mapping;
    edited.polygonMask = mask;
    selection.selectedMaskPoint = std::min(selected, int(mask.size()) - 1);
    return edited;
}

int dimension(const ProjectorMapping& mapping, bool rows)
{
    return rows ? mapping.rows() : mapping.columns();
}

ProjectorMapping resized(const ProjectorMapping& mapping, MappingSelection& selection, bool rows, int count)
{
    ProjectorMapping edited = mapping;
    if (rows)
        edited.resizeMesh(count, mapping.columns());
    else
        edited.resizeMesh(mapping.rows(), count);
    selection.selectedNode = 0;
    return edited;
}

ProjectorMapping withMesh(const ProjectorMapping& mapping, MappingSelection& selection, bool on)
{
    ProjectorMapping edited = mapping;
    if (on)
        edited.mesh = mapping.meshPoints();
    else
        edited.mesh.reset();
    selection.editingMask = false;
    selection.selectedNode = 0;
    return edited;
}

ProjectorMapping withMask(const ProjectorMapping& mapping, MappingSelection& selection, bool on)
{
    ProjectorMapping edited = mapping;
    if (on)
        edited.polygonMask = kWholeOutput;
    else
        edited.polygonMask.reset();
    selection.editingMask = on;
    selection.selectedMaskPoint = 0;
    return edited;
}

ProjectorMapping resetMapping()
{
    ProjectorMapping reset;
    reset.enabled = true;
    return reset;
}

std::optional<double> fieldValue(double typed)
{
    if (!std::isfinite(typed))
        return std::nullopt;
    return std::clamp(typed, 0.0, 1.0);
}

double cropValue(const ProjectorMapping& mapping, CropPart part)
{
    switch (part) {
    case CropPart::x:
        return mapping.crop.x();
    case CropPart::y:
        return mapping.crop.y();
    case CropPart::width:
        return mapping.crop.width();
    case CropPart::height:
        break;
    }
    return mapping.crop.height();
}

std::optional<ProjectorMapping> withCrop(const ProjectorMapping& mapping, CropPart part, double typed)
{
    const std::optional<double> value = fieldValue(typed);
    if (!value)
        return std::nullopt;
    ProjectorMapping edited = mapping;
    // The origin moves without changing the size, and the size changes without moving the origin.
    switch (part) {
    case CropPart::x:
        edited.crop.moveLeft(*value);
        break;
    case CropPart::y:
        edited.crop.moveTop(*value);
        break;
    case CropPart::width:
        edited.crop.setWidth(*value);
        break;
    case CropPart::height:
        edited.crop.setHeight(*value);
        break;
    }
    return edited;
}

double edge(const ProjectorMapping& mapping, int index)
{
    return index >= 0 && index < mapping.edges.size() ? mapping.edges[index] : 0;
}

std::optional<ProjectorMapping> withEdge(const ProjectorMapping& mapping, int index, double width)
{
    if (index < 0 || index > 3 || !std::isfinite(width))
        return std::nullopt;
    ProjectorMapping edited = mapping;
    while (edited.edges.size() < 4)
        edited.edges.append(0);
    edited.edges[index] = width;
    return edited;
}

std::optional<ProjectorMapping> withGamma(const ProjectorMapping& mapping, double gamma)
{
    if (!std::isfinite(gamma))
        return std::nullopt;
    ProjectorMapping edited = mapping;
    edited.gamma = gamma;
    return edited;
}

std::optional<ProjectorMapping> withBlackLevel(const ProjectorMapping& mapping, double level)
{
    if (!std::isfinite(level))
        return std::nullopt;
    ProjectorMapping edited = mapping;
    edited.blackLevel = level;
    return edited;
}

} // namespace MappingPointEdits
