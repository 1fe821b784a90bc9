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

    // Each side measures the samples around it, within a band a sample wide on either side: exact for every sample
    // that near the outline, at a cost that grows with the sides' lengths, not with the samples times the sides.
    void nearSides()
    {
        const double stepX = m_width > 1 ? (double(m_xs.back()) - m_xs.front()) / (m_width - 1) : 0;
        const double stepY = m_height > 1 ? (double(m_ys.back()) - m_ys.front()) / (m_height - 1) : 0;
        const double sx = stepX > 0 ? stepX : stepY > 0 ? stepY : 1;
        const double sy = stepY > 0 ? stepY : sx;
        // The band in sample units along each axis, with a little to spare for the rounding of sample positions.
        const double band = std::max(sx, sy);
        const double reachU = band / sx + 0.01, reachV = band / sy + 0.01;
        const auto toU = [&](float x) { return (double(x) - m_xs.front()) / sx; };
        const auto toV = [&](float y) { return (double(y) - m_ys.front()) / sy; };
        const Box reach{-reachU, -reachV, m_width - 1 + reachU, m_height - 1 + reachV};
        for (int e = 0; e < int(m_edges.size()); ++e) {
            const Edge& edge = m_edges[e];
            const double u0 = toU(edge.a.x), v0 = toV(edge.a.y), u1 = toU(edge.b.x), v1 = toV(edge.b.y);
            if (!std::isfinite(u0) || !std::isfinite(v0) || !std::isfinite(u1) || !std::isfinite(v1)) {
                seedFromCorners(e);
                continue;
            }
            const auto at = [&](double t) { return std::pair(u0 + (u1 - u0) * t, v0 + (v1 - v0) * t); };
            // The stretch of the side within reach of the grid is measured there; the parts beyond seed the border.
            const auto seedPart = [&](double from, double to) {
                const auto [ua, va] = at(from);
                const auto [ub, vb] = at(to);
                seedBeside(e, std::min(ua, ub), std::max(ua, ub), std::min(va, vb), std::max(va, vb));
            };
            double t0 = 0, t1 = 1;
            if (!clip(u0, v0, u1, v1, reach, t0, t1)) {
                seedPart(0, 1);
                continue;
            }
            if (t0 > 0)
                seedPart(0, t0);
            if (t1 < 1)
                seedPart(t1, 1);
            const auto [ua, va] = at(t0);
            const auto [ub, vb] = at(t1);
            measureAround(e, ua, va, ub, vb, reachU, reachV);
        }
    }

    // The samples within reach of a stretch of a side, row by row.
    void measureAround(int e, double u0, double v0, double u1, double v1, double reachU, double reachV)
    {
        const double vLow = std::min(v0, v1), vHigh = std::max(v0, v1);
        const double uLow = std::min(u0, u1), uHigh = std::max(u0, u1);
        const int rowFirst = int(std::max(std::ceil(vLow - reachV), 0.0));
        const int rowLast = int(std::min(std::floor(vHigh + reachV), double(m_height - 1)));
        for (int j = rowFirst; j <= rowLast; ++j) {
            // The stretch within the reach's height of this row, widened by the reach.
            double from = uLow, to = uHigh;
            if (vHigh > vLow) {
                const double t0 = std::clamp((j - reachV - v0) / (v1 - v0), 0.0, 1.0);
                const double t1 = std::clamp((j + reachV - v0) / (v1 - v0), 0.0, 1.0);
                const double a = u0 + (u1 - u0) * t0, b = u0 + (u1 - u0) * t1;
                from = std::min(a, b);
                to = std::max(a, b);
            }
            const int first = int(std::max(std::ceil(from - reachU), 0.0));
            const int last = int(std::min(std::floor(to + reachU), double(m_width - 1)));
            for (int i = first; i <= last; ++i)
                consider(i, j, e);
        }
    }

    // A side beyond the grid is measured by the samples along the border beside it, a few deep and as far along as
    // it lies off the grid (up to a limit), whose neighbours then carry it on; one beside a long stretch of the
    // border is measured by the corners and the sample nearest to its middle only.
    void seedBeside(int e, double uLow, double uHigh, double vLow, double vHigh)
    {
        constexpr int deep = 4;
        constexpr double along = 16;
        const double offU = std::min(std::max({0.0, -uHigh, uLow - (m_width - 1)}), along);
        const double offV = std::min(std::max({0.0, -vHigh, vLow - (m_height - 1)}), along);
        const auto span = [](double low, double high, double widen, int count, int& first, int& last) {
            first = int(std::clamp(std::ceil(low - widen), 0.0, double(count - 1)));
            last = int(std::clamp(std::floor(high + widen), 0.0, double(count - 1)));
            if (high < 0)
                last = std::min(deep - 1, count - 1);
            if (low > count - 1)
                first = std::max(count - deep, 0);
        };
        int iFirst = 0, iLast = 0, jFirst = 0, jLast = 0;
        span(uLow, uHigh, offV + deep, m_width, iFirst, iLast);
        span(vLow, vHigh, offU + deep, m_height, jFirst, jLast);
        if (qint64(iLast - iFirst + 1) * (jLast - jFirst + 1) > 4 * qint64(m_width + m_height)) {
            seedFromCorners(e);
            const double u = std::clamp((uLow + uHigh) / 2, 0.0, double(m_width - 1));
            const double v = std::clamp((vLow + vHigh) / 2, 0.0, double(m_height - 1));
            consider(int(std::round(u)), int(std::round(v)), e);
            return;
        }
        for (int j = jFirst; j <= jLast; ++j)
            for (int i = iFirst; i <= iLast; ++i)
                consider(i, j, e);
    }

    void seedFromCorners(int e)
    {
        for (int j : {0, m_height - 1})
            for (int i : {0, m_width - 1})
                consider(i, j, e);
    }

    struct Box
    {
        double left, top, right, bottom;
    };

    // Liang–Barsky: the stretch [t0, t1] of the segment inside the box; false when none is.
    static bool clip(double u0, double v0, double u1, double v1, const Box& box, double& t0, double& t1)
    {
        const double du = u1 - u0, dv = v1 - v0;
        const auto side = [&](double p, double q) {
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
        return side(-du, u0 - box.left) && side(du, box.right - u0) && side(-dv, v0 - box.top) &&
               side(dv, box.bottom - v0) && t0 <= t1;
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

    // Inside by the even-odd rule, row by row: the sides crossing a row are found from lists by the first row they
    // cross, and each crossing flips every sample left of it, counted at the first sample at or right of it.
    void applySigns(std::vector<float>& result) const
    {
        std::vector<int> endRow(m_edges.size(), 0);
        std::vector<int> start(size_t(m_height) + 1, 0);
        std::vector<int> firstRow(m_edges.size(), -1);
        for (int e = 0; e < int(m_edges.size()); ++e) {
            const Edge& edge = m_edges[e];
            const float low = std::min(edge.a.y, edge.b.y), high = std::max(edge.a.y, edge.b.y);
            if (!(low < high))
                continue;
            const int first = int(std::lower_bound(m_ys.begin(), m_ys.end(), low) - m_ys.begin());
            const int end = int(std::lower_bound(m_ys.begin(), m_ys.end(), high) - m_ys.begin());
            if (first < end) {
                firstRow[size_t(e)] = first;
                endRow[size_t(e)] = end;
                ++start[size_t(first) + 1];
            }
        }
        for (size_t j = 1; j < start.size(); ++j)
            start[j] += start[j - 1];
        std::vector<int> byFirstRow(size_t(start.back()));
        {
            std::vector<int> fill(start.begin(), start.end() - 1);
            for (int e = 0; e < int(m_edges.size()); ++e)
                if (firstRow[size_t(e)] >= 0)
                    byFirstRow[size_t(fill[size_t(firstRow[size_t(e)])]++)] = e;
        }
        const double x0 = m_xs.front();
        const double step = m_width > 1 ? (double(m_xs.back()) - x0) / (m_width - 1) : 1;
        // How many samples lie left of x: those are the ones a crossing at x flips.
        const auto samplesLeftOf = [&](float x) {
            const double guess = std::ceil((double(x) - x0) / step);
            int k = int(std::clamp(std::isnan(guess) ? 0.0 : guess, 0.0, double(m_width)));
            while (k > 0 && !(m_xs[size_t(k - 1)] < x))
                --k;
            while (k < m_width && m_xs[size_t(k)] < x)
                ++k;
            return k;
        };
        std::vector<int> active;
        std::vector<unsigned char> flips(size_t(m_width) + 1);
        for (int j = 0; j < m_height; ++j) {
            active.insert(active.end(), byFirstRow.begin() + start[size_t(j)],
                          byFirstRow.begin() + start[size_t(j) + 1]);
            active.erase(std::remove_if(active.begin(), active.end(), [&](int e) { return endRow[size_t(e)] <= j; }),
                         active.end());
            const float y = m_ys[size_t(j)];
            std::fill(flips.begin(), flips.end(), 0);
            for (int e : active) {
                const Edge& edge = m_edges[e];
                if (!PolygonDistance::crosses(edge, y))
                    continue;
                const float x = PolygonDistance::crossingX(edge, y);
                if (!std::isnan(x))
                    flips[size_t(samplesLeftOf(x))] ^= 1;
            }
            unsigned char inside = 0;
            for (int i = m_width - 1; i >= 0; --i) {
                inside ^= flips[size_t(i) + 1];
                if (!inside)
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
