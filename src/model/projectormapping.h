#pragma once

#include "curvehandles.h"
#include "screenrole.h"

#include <QList>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

// The projection correction of one screen, in normalised output coordinates (0–1, origin top left, y down).
// A default-made value is the identity correction, switched off.
struct ProjectorMapping
{
    enum class Handle { left, right, up, down };

    bool enabled = false;
    std::optional<ScreenRole> source;
    QRectF crop{0, 0, 1, 1};
    QList<QPointF> corners{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    QList<double> edges{0, 0, 0, 0};
    double gamma = 1.0;
    std::optional<QList<QPointF>> mesh;
    std::optional<qint64> meshRows;
    std::optional<qint64> meshColumns;
    std::optional<QMap<QString, CurveHandles>> meshHandles;
    std::optional<QList<QPointF>> polygonMask;
    std::optional<double> blackLevel;

    bool operator==(const ProjectorMapping&) const = default;

    // Effective values every reader uses; the stored fields are never changed by reading.
    int rows() const { return clampedGridCount(meshRows); }
    int columns() const { return clampedGridCount(meshColumns); }
    double effectiveGamma() const { return gamma < 0.4 ? 0.4 : (gamma > 3.0 ? 3.0 : gamma); }
    // Each edge-blend width within 0 … 1, a value that is not a number as 0; as many as are stored.
    QList<double> effectiveEdges() const
    {
        QList<double> widths = edges;
        for (double& width : widths)
            width = width > 0 ? (width < 1 ? width : 1) : 0;
        return widths;
    }
    // Each corner coordinate within a thousand output sizes of the output, a value that is not a number as 0; as many
    // as are stored. Corners further off (a file may hold 1e308) would overflow the corner pin and draw nothing.
    QList<QPointF> effectiveCorners() const;
    double effectiveBlackLevel() const
    {
        if (!blackLevel || !(*blackLevel > 0))
            return 0;
        return *blackLevel < 0.2 ? *blackLevel : 0.2;
    }

    // Curved-mesh geometry. Node i sits at row i / columns() and column i % columns(); indexes outside the grid
    // give no handle, a zero tangent, and are ignored by setHandle.
    QList<QPointF> meshPoints() const;
    QPointF tangent(int index, bool horizontal, const QList<QPointF>& points) const;
    std::optional<QPointF> handle(Handle handle, int index) const;
    void setHandle(Handle handle, int index, QPointF point);
    QPointF surface(double u, double v) const;
    void resizeMesh(int rows, int columns);
    bool convex() const;

  private:
    static int clampedGridCount(const std::optional<qint64>& count)
    {
        if (!count)
            return 3;
        return *count < 2 ? 2 : (*count > 17 ? 17 : int(*count));
    }
};
