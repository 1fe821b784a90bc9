#include "polygondistancefield.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Edge = PolygonDistance::Edge;

bool ascending(const std::vector<float>& values)
{
    for (size_t i = 1; i < values.size(); ++i)
        if (!(values[i - 1] < values[i]))
            return false;
    return !values.empty() && std::isfinite(values.front()) && std::isfinite(values.back());
}

bool allEqual(const std::vector<float>& values)
{
    return std::all_of(values.begin(), values.end(), [&](float v) { return v == values.front(); });
}

// The samples of one grid, each with the nearest side found so far.
class Grid
{
  public:
    Grid(const QList<Edge>& edges, const std::vector<float>& xs, const std::vector<float>& ys)
        : m_edges(edges), m_xs(xs), m_ys(ys), m_width(int(xs.size())), m_height(int(ys.size())),
          m_best(size_t(m_width) * m_height, std::numeric_limits<float>::infinity()),
          m_nearest(size_t(m_width) * m_height, -1)
    {
    }

    std::vector<float> distances()
    {
        nearSides();
        propagate();
        std::vector<float> result(m_best.size());
        for (size_t s = 0; s < result.size(); ++s)
            result[s] = std::sqrt(m_best[s]);
        applySigns(result);
        return result;
    }

  private:
    void consider(int i, int j, int edge)
    {
        const size_t s = size_t(j) * m_width + i;
        if (edge < 0 || edge == m_nearest[s])
            return;
        const float d = PolygonDistance::squaredDistance(m_edges[edge], m_xs[i], m_ys[j]);
        if (d < m_best[s]) {
            m_best[s] = d;
            m_nearest[s] = edge;
        }
    }

    // Every side is listed in the cells (one per sample, and a margin around the grid) that it passes through, and
    // each sample measures the sides listed within a radius of cells: exact for every sample that near the outline.
    void nearSides()
    {
        const double stepX = m_width > 1 ? (double(m_xs.back()) - m_xs.front()) / (m_width - 1) : 0;
        const double stepY = m_height > 1 ? (double(m_ys.back()) - m_ys.front()) / (m_height - 1) : 0;
        const double sx = stepX > 0 ? stepX : stepY > 0 ? stepY : 1;
        const double sy = stepY > 0 ? stepY : sx;
        const double band = 0.5 * std::max(sx, sy);
        const int rx = std::min(int(std::ceil(band / sx + 0.5)), 8);
        const int ry = std::min(int(std::ceil(band / sy + 0.5)), 8);
        const int cellsX = m_width + 2 * rx;
        const int cellsY = m_height + 2 * ry;
        // Cell k of the bucket grid covers [k, k + 1) in these units; sample i lies in cell i + rx.
        const auto toU = [&](float x) { return (double(x) - m_xs.front()) / sx + 0.5 + rx; };
        const auto toV = [&](float y) { return (double(y) - m_ys.front()) / sy + 0.5 + ry; };

        std::vector<std::pair<int, int>> listed; // cell, side
        std::vector<int> far;
        for (int e = 0; e < int(m_edges.size()); ++e) {
            const Edge& edge = m_edges[e];
            double u0 = toU(edge.a.x), v0 = toV(edge.a.y), u1 = toU(edge.b.x), v1 = toV(edge.b.y);
            if (!std::isfinite(u0) || !std::isfinite(v0) || !std::isfinite(u1) || !std::isfinite(v1)) {
                far.push_back(e);
                continue;
            }
            if (!clip(u0, v0, u1, v1, cellsX, cellsY)) {
                // Listed on the margin beside it, so that the samples nearest to it measure it.
                const auto clamped = [](double value, int cells) {
                    return std::clamp(int(std::floor(value)), 0, cells - 1);
                };
                const int uFirst = clamped(std::min(u0, u1), cellsX), uLast = clamped(std::max(u0, u1), cellsX);
                const int vFirst = clamped(std::min(v0, v1), cellsY), vLast = clamped(std::max(v0, v1), cellsY);
                if ((uLast - uFirst + 1) * (vLast - vFirst + 1) > 4 * (cellsX + cellsY)) {
                    far.push_back(e);
                    continue;
                }
                for (int row = vFirst; row <= vLast; ++row)
                    for (int cell = uFirst; cell <= uLast; ++cell)
                        listed.emplace_back(row * cellsX + cell, e);
                continue;
            }
            const double vLow = std::min(v0, v1), vHigh = std::max(v0, v1);
            const int rowFirst = std::clamp(int(std::floor(vLow)), 0, cellsY - 1);
            const int rowLast = std::clamp(int(std::floor(vHigh)), 0, cellsY - 1);
            for (int row = rowFirst; row <= rowLast; ++row) {
                double uLow = std::min(u0, u1), uHigh = std::max(u0, u1);
                if (vHigh - vLow > 1e-12) {
                    const auto uAt = [&](double v) { return u0 + (u1 - u0) * ((v - v0) / (v1 - v0)); };
                    const double a = uAt(std::clamp(double(row), vLow, vHigh));
                    const double b = uAt(std::clamp(double(row + 1), vLow, vHigh));
                    uLow = std::max(uLow, std::min(a, b));
                    uHigh = std::min(uHigh, std::max(a, b));
                }
                const int first = std::clamp(int(std::floor(uLow - 1e-6)), 0, cellsX - 1);
                const int last = std::clamp(int(std::floor(uHigh + 1e-6)), 0, cellsX - 1);
                for (int cell = first; cell <= last; ++cell)
                    listed.emplace_back(row * cellsX + cell, e);
            }
        }

        std::vector<int> start(size_t(cellsX) * cellsY + 1, 0);
        for (const auto& entry : listed)
            ++start[size_t(entry.first) + 1];
        for (size_t c = 1; c < start.size(); ++c)
            start[c] += start[c - 1];
        std::vector<int> sides(listed.size());
        {
            std::vector<int> fill(start.begin(), start.end() - 1);
            for (const auto& entry : listed)
                sides[size_t(fill[size_t(entry.first)]++)] = entry.second;
        }
        listed = {};

        for (int cy = 0; cy < cellsY; ++cy)
            for (int cx = 0; cx < cellsX; ++cx) {
                const size_t cell = size_t(cy) * cellsX + cx;
                if (start[cell] == start[cell + 1])
                    continue;
                // Sides beyond the grid's border reach further in, where no side inside may be nearer.
                const bool margin = cx < rx || cx >= rx + m_width || cy < ry || cy >= ry + m_height;
                const int reachX = margin ? 4 * rx : rx, reachY = margin ? 4 * ry : ry;
                const int iFirst = std::max(cx - rx - reachX, 0), iLast = std::min(cx - rx + reachX, m_width - 1);
                const int jFirst = std::max(cy - ry - reachY, 0), jLast = std::min(cy - ry + reachY, m_height - 1);
                for (int j = jFirst; j <= jLast; ++j)
                    for (int i = iFirst; i <= iLast; ++i)
                        for (int k = start[cell]; k < start[cell + 1]; ++k)
                            consider(i, j, sides[size_t(k)]);
            }

        // A side nowhere near the grid is measured from the corners and from the sample closest to its middle,
        // which the spreading carries on.
        for (int e : far) {
            const Edge& edge = m_edges[e];
            for (int j : {0, m_height - 1})
                for (int i : {0, m_width - 1})
                    consider(i, j, e);
            const double u = (toU(edge.a.x) + toU(edge.b.x)) / 2 - 0.5 - rx;
            const double v = (toV(edge.a.y) + toV(edge.b.y)) / 2 - 0.5 - ry;
            if (std::isfinite(u) && std::isfinite(v))
                consider(int(std::clamp(std::round(u), 0.0, double(m_width - 1))),
                         int(std::clamp(std::round(v), 0.0, double(m_height - 1))), e);
        }
    }

    // Liang–Barsky: the part of the segment inside [0, width] × [0, height]; false when none is.
    static bool clip(double& u0, double& v0, double& u1, double& v1, double width, double height)
    {
        double t0 = 0, t1 = 1;
        const double du = u1 - u0, dv = v1 - v0;
        const auto edge = [&](double p, double q) {
            if (p == 0)
                return q >= 0;
            const double r = q / p;
            if (p < 0) {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
            return true;
        };
        if (!edge(-du, u0) || !edge(du, width - u0) || !edge(-dv, v0) || !edge(dv, height - v0))
            return false;
        const double a = u0, b = v0;
        u0 = a + t0 * du;
        v0 = b + t0 * dv;
        u1 = a + t1 * du;
        v1 = b + t1 * dv;
        return true;
    }

    // Each sample tries the nearest sides of its neighbours, in one sweep down and one back up.
    void propagate()
    {
        const auto at = [&](int i, int j) { return m_nearest[size_t(j) * m_width + i]; };
        for (int j = 0; j < m_height; ++j) {
            for (int i = 0; i < m_width; ++i) {
                if (i > 0)
                    consider(i, j, at(i - 1, j));
                if (j > 0) {
                    if (i > 0)
                        consider(i, j, at(i - 1, j - 1));
                    consider(i, j, at(i, j - 1));
                    if (i + 1 < m_width)
                        consider(i, j, at(i + 1, j - 1));
                }
            }
            for (int i = m_width - 2; i >= 0; --i)
                consider(i, j, at(i + 1, j));
        }
        for (int j = m_height - 1; j >= 0; --j) {
            for (int i = m_width - 1; i >= 0; --i) {
                if (i + 1 < m_width)
                    consider(i, j, at(i + 1, j));
                if (j + 1 < m_height) {
                    if (i + 1 < m_width)
                        consider(i, j, at(i + 1, j + 1));
                    consider(i, j, at(i, j + 1));
                    if (i > 0)
                        consider(i, j, at(i - 1, j + 1));
                }
            }
            for (int i = 1; i < m_width; ++i)
                consider(i, j, at(i - 1, j));
        }
    }

    // Inside by the even-odd rule, row by row: the sides crossing a row are found from a list sorted by the first
    // row they cross, and a sample is inside when an odd number of crossings lies to its right.
    void applySigns(std::vector<float>& result) const
    {
        std::vector<std::pair<int, int>> spans(m_edges.size()); // first row, row after the last
        std::vector<int> byFirstRow;
        for (int e = 0; e < int(m_edges.size()); ++e) {
            const Edge& edge = m_edges[e];
            const float low = std::min(edge.a.y, edge.b.y), high = std::max(edge.a.y, edge.b.y);
            if (!(low < high))
                continue;
            const int first = int(std::lower_bound(m_ys.begin(), m_ys.end(), low) - m_ys.begin());
            const int end = int(std::lower_bound(m_ys.begin(), m_ys.end(), high) - m_ys.begin());
            if (first < end) {
                spans[size_t(e)] = {first, end};
                byFirstRow.push_back(e);
            }
        }
        std::stable_sort(byFirstRow.begin(), byFirstRow.end(),
                         [&](int a, int b) { return spans[size_t(a)].first < spans[size_t(b)].first; });
        std::vector<int> active;
        std::vector<float> crossings;
        size_t next = 0;
        for (int j = 0; j < m_height; ++j) {
            while (next < byFirstRow.size() && spans[size_t(byFirstRow[next])].first == j)
                active.push_back(byFirstRow[next++]);
            active.erase(
                std::remove_if(active.begin(), active.end(), [&](int e) { return spans[size_t(e)].second <= j; }),
                active.end());
            const float y = m_ys[size_t(j)];
            crossings.clear();
            for (int e : active) {
                const Edge& edge = m_edges[e];
                if (!PolygonDistance::crosses(edge, y))
                    continue;
                const float x = PolygonDistance::crossingX(edge, y);
                if (!std::isnan(x))
                    crossings.push_back(x);
            }
            std::sort(crossings.begin(), crossings.end());
            size_t passed = 0;
            for (int i = 0; i < m_width; ++i) {
                const float x = m_xs[size_t(i)];
                while (passed < crossings.size() && !(x < crossings[passed]))
                    ++passed;
                if ((crossings.size() - passed) % 2 == 0)
                    result[size_t(j) * m_width + i] = -result[size_t(j) * m_width + i];
            }
        }
    }

    const QList<Edge>& m_edges;
    const std::vector<float>& m_xs;
    const std::vector<float>& m_ys;
    int m_width;
    int m_height;
    std::vector<float> m_best;
    std::vector<int> m_nearest;
};

std::vector<float> everySample(const PolygonDistance& polygon, const std::vector<float>& xs,
                               const std::vector<float>& ys)
{
    std::vector<float> values;
    values.reserve(xs.size() * ys.size());
    for (float y : ys)
        for (float x : xs)
            values.push_back(polygon.signedDistance(x, y));
    return values;
}

std::vector<float> distances(const PolygonDistance& polygon, const std::vector<float>& xs, const std::vector<float>& ys)
{
    if (xs.empty() || ys.empty())
        return {};
    if (polygon.edges.isEmpty())
        return std::vector<float>(xs.size() * ys.size(), -std::numeric_limits<float>::infinity());
    // A grid of no width (a tile of no size) is one column or row repeated.
    if (xs.size() > 1 && allEqual(xs)) {
        const std::vector<float> column = distances(polygon, {xs.front()}, ys);
        std::vector<float> values;
        values.reserve(xs.size() * ys.size());
        for (float value : column)
            values.insert(values.end(), xs.size(), value);
        return values;
    }
    if (ys.size() > 1 && allEqual(ys)) {
        const std::vector<float> row = distances(polygon, xs, {ys.front()});
        std::vector<float> values;
        values.reserve(xs.size() * ys.size());
        for (size_t j = 0; j < ys.size(); ++j)
            values.insert(values.end(), row.begin(), row.end());
        return values;
    }
    if (!ascending(xs) || !ascending(ys))
        return everySample(polygon, xs, ys);
    return Grid(polygon.edges, xs, ys).distances();
}

} // namespace

PolygonDistanceField::Sampling PolygonDistanceField::Sampling::texelCentres(int size)
{
    Sampling sampling;
    for (int c = 0; c < size; ++c)
        sampling.xs.push_back((c + 0.5f) / size);
    sampling.ys = sampling.xs;
    return sampling;
}

PolygonDistanceField::Sampling PolygonDistanceField::Sampling::cornerToCorner(const QRectF& area, int size)
{
    Sampling sampling;
    for (int i = 0; i < size; ++i) {
        sampling.xs.push_back(float(area.x() + area.width() * i / (size - 1)));
        sampling.ys.push_back(float(area.y() + area.height() * i / (size - 1)));
    }
    return sampling;
}

PolygonDistanceField PolygonDistanceField::make(const std::optional<QList<QPointF>>& points)
{
    return make(points, Sampling::texelCentres(256));
}

PolygonDistanceField PolygonDistanceField::make(const std::optional<QList<QPointF>>& points, const Sampling& sampling)
{
    const std::optional<PolygonDistance> polygon = PolygonDistance::make(points);
    if (!polygon)
        return {};
    return make(*polygon, sampling);
}

PolygonDistanceField PolygonDistanceField::make(const PolygonDistance& polygon, const Sampling& sampling)
{
    PolygonDistanceField field;
    field.size = int(sampling.xs.size());
    field.values = distances(polygon, sampling.xs, sampling.ys);
    return field;
}
