#include "projectormapping.h"

#include <algorithm>
#include <cmath>

static const QList<QPointF> unitCorners{{0, 0}, {1, 0}, {1, 1}, {0, 1}};

static QList<QPointF> bilinearGrid(const QList<QPointF>& corners, int rows, int columns)
{
    QList<QPointF> points;
    points.reserve(rows * columns);
    for (int r = 0; r < rows; ++r) {
        const double v = double(r) / (rows - 1);
        for (int c = 0; c < columns; ++c) {
            const double u = double(c) / (columns - 1);
            points.append(corners[0] * ((1 - u) * (1 - v)) + corners[1] * (u * (1 - v)) + corners[2] * (u * v) +
                          corners[3] * ((1 - u) * v));
        }
    }
    return points;
}

// Callers pass 0…1; anything else (NaN included) is held to the nearest border so no cell outside the grid is read.
static double unitParameter(double value)
{
    if (!(value > 0))
        return 0;
    return std::min(value, 1.0);
}

static bool isForward(ProjectorMapping::Handle handle)
{
    return handle == ProjectorMapping::Handle::right || handle == ProjectorMapping::Handle::down;
}

static bool isHorizontal(ProjectorMapping::Handle handle)
{
    return handle == ProjectorMapping::Handle::left || handle == ProjectorMapping::Handle::right;
}

static std::optional<QPointF>& handleField(CurveHandles& handles, ProjectorMapping::Handle handle)
{
    switch (handle) {
    case ProjectorMapping::Handle::left:
        return handles.left;
    case ProjectorMapping::Handle::right:
        return handles.right;
    case ProjectorMapping::Handle::up:
        return handles.up;
    case ProjectorMapping::Handle::down:
        break;
    }
    return handles.down;
}

static ProjectorMapping::Handle opposite(ProjectorMapping::Handle handle)
{
    switch (handle) {
    case ProjectorMapping::Handle::left:
        return ProjectorMapping::Handle::right;
    case ProjectorMapping::Handle::right:
        return ProjectorMapping::Handle::left;
    case ProjectorMapping::Handle::up:
        return ProjectorMapping::Handle::down;
    case ProjectorMapping::Handle::down:
        break;
    }
    return ProjectorMapping::Handle::up;
}

static double hermite00(double x)
{
    return 2 * x * x * x - 3 * x * x + 1;
}
static double hermite01(double x)
{
    return 3 * x * x - 2 * x * x * x;
}
static double hermite10(double x)
{
    return x * x * x - 2 * x * x + x;
}
static double hermite11(double x)
{
    return x * x * x - x * x;
}

QList<QPointF> ProjectorMapping::meshPoints() const
{
    const int count = rows() * columns();
    if (mesh && mesh->size() == count)
        return *mesh;
    // Without four corners the grid still has the effective size, so every node index stays readable.
    return bilinearGrid(corners.size() == 4 ? effectiveCorners() : unitCorners, rows(), columns());
}

QPointF ProjectorMapping::tangent(int index, bool horizontal, const QList<QPointF>& points) const
{
    if (index < 0 || index >= points.size())
        return {};
    const int position = horizontal ? index % columns() : index / columns();
    const int count = horizontal ? columns() : rows();
    const int step = horizontal ? 1 : columns();

    if (meshHandles) {
        const auto entry = meshHandles->constFind(QString::number(index));
        if (entry != meshHandles->cend()) {
            const std::optional<QPointF>& forward = horizontal ? entry->right : entry->down;
            const std::optional<QPointF>& backward = horizontal ? entry->left : entry->up;
            if (forward && backward)
                return (*forward - *backward) * 1.5;
            if (forward)
                return *forward * 3;
            if (backward)
                return *backward * -3;
        }
    }

    const int previous = position >= 1 ? index - step : index;
    const int next = position + 1 < count && index + step < points.size() ? index + step : index;
    const double k = previous != index && next != index ? 0.5 : 1.0;
    return (points[next] - points[previous]) * k;
}

std::optional<QPointF> ProjectorMapping::handle(Handle which, int index) const
{
    if (index < 0 || index >= rows() * columns())
        return std::nullopt;
    const bool horizontal = isHorizontal(which);
    const int position = horizontal ? index % columns() : index / columns();
    const int last = horizontal ? columns() - 1 : rows() - 1;
    if (isForward(which) ? position == last : position == 0)
        return std::nullopt;

    const QList<QPointF> points = meshPoints();
    const QPointF t = tangent(index, horizontal, points);
    return isForward(which) ? points[index] + t / 3 : points[index] - t / 3;
}

void ProjectorMapping::setHandle(Handle which, int index, QPointF point)
{
    if (index < 0 || index >= rows() * columns())
        return;
    const QPointF offset = point - meshPoints()[index];
    QMap<QString, CurveHandles> handles = meshHandles.value_or(QMap<QString, CurveHandles>{});
    const QString key = QString::number(index);
    CurveHandles entry = handles.value(key);
    handleField(entry, which) = offset;
    handleField(entry, opposite(which)) = -offset;
    handles.insert(key, entry);
    meshHandles = handles;
}

QPointF ProjectorMapping::surface(double u, double v) const
{
    u = unitParameter(u);
    v = unitParameter(v);
    const int columnCount = columns();
    const int rowCount = rows();
    const int ci = std::min(int(u * (columnCount - 1)), columnCount - 2);
    const int ri = std::min(int(v * (rowCount - 1)), rowCount - 2);
    const double s = u * (columnCount - 1) - ci;
    const double t = v * (rowCount - 1) - ri;

    const QList<QPointF> points = meshPoints();
    const int topLeft = ri * columnCount + ci;
    const int topRight = topLeft + 1;
    const int bottomLeft = topLeft + columnCount;
    const int bottomRight = bottomLeft + 1;
    const auto across = [&](int i) { return tangent(i, true, points); };
    const auto down = [&](int i) { return tangent(i, false, points); };

    const QPointF top = points[topLeft] * hermite00(s) + points[topRight] * hermite01(s) +
                        across(topLeft) * hermite10(s) + across(topRight) * hermite11(s);
    const QPointF bottom = points[bottomLeft] * hermite00(s) + points[bottomRight] * hermite01(s) +
                           across(bottomLeft) * hermite10(s) + across(bottomRight) * hermite11(s);
    const QPointF topSlope = down(topLeft) * hermite00(s) + down(topRight) * hermite01(s);
    const QPointF bottomSlope = down(bottomLeft) * hermite00(s) + down(bottomRight) * hermite01(s);
    return top * hermite00(t) + bottom * hermite01(t) + topSlope * hermite10(t) + bottomSlope * hermite11(t);
}

void ProjectorMapping::resizeMesh(int newRows, int newColumns)
{
    const ProjectorMapping old = *this;
    meshHandles.reset();
    if (newRows == 0 || newColumns == 0) {
        mesh = QList<QPointF>{};
        meshRows = newRows;
        meshColumns = newColumns;
        return;
    }
    // A count outside the grid rule would store a mesh that no reader uses (and a count of 1 divides by zero).
    newRows = std::clamp(newRows, 2, 17);
    newColumns = std::clamp(newColumns, 2, 17);

    QList<QPointF> nodes;
    nodes.reserve(newRows * newColumns);
    for (int i = 0; i < newRows * newColumns; ++i)
        nodes.append(old.surface(double(i % newColumns) / (newColumns - 1), double(i / newColumns) / (newRows - 1)));
    mesh = nodes;
    meshRows = newRows;
    meshColumns = newColumns;

    constexpr double step = 0.0001;
    for (int i = 0; i < nodes.size(); ++i) {
        const double u = double(i % newColumns) / (newColumns - 1);
        const double v = double(i / newColumns) / (newRows - 1);
        const double uLow = std::max(u - step, 0.0);
        const double uHigh = std::min(u + step, 1.0);
        const QPointF alongU = (old.surface(uHigh, v) - old.surface(uLow, v)) / ((uHigh - uLow) * 3 * (newColumns - 1));
        setHandle(Handle::right, i, nodes[i] + alongU);
        const double vLow = std::max(v - step, 0.0);
        const double vHigh = std::min(v + step, 1.0);
        const QPointF alongV = (old.surface(u, vHigh) - old.surface(u, vLow)) / ((vHigh - vLow) * 3 * (newRows - 1));
        setHandle(Handle::down, i, nodes[i] + alongV);
    }
}

QList<QPointF> ProjectorMapping::effectiveCorners() const
{
    constexpr double reach = 1000;
    QList<QPointF> points = corners;
    for (QPointF& point : points)
        for (double* value : {&point.rx(), &point.ry()})
            *value = std::isnan(*value) ? 0 : std::clamp(*value, -reach, 1 + reach);
    return points;
}

bool ProjectorMapping::convex() const
{
    if (corners.size() != 4)
        return false;
    const QList<QPointF> points = effectiveCorners();
    for (int k = 0; k < 4; ++k) {
        const QPointF first = points[(k + 1) % 4] - points[k];
        const QPointF second = points[(k + 2) % 4] - points[(k + 1) % 4];
        if (!(first.x() * second.y() - first.y() * second.x() > 0.0001))
            return false;
    }
    return true;
}
