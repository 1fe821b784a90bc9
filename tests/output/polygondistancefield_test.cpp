#include "polygondistancefield.h"

#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

// A star of many points whose radius wanders, with sharp notches and sides shorter than a sample.
QList<QPointF> wobblyStar(int count, QPointF centre, double radius, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QPointF> points;
    for (int k = 0; k < count; ++k) {
        const double angle = 2 * std::numbers::pi * k / count;
        const double r = radius * (0.55 + 0.45 * random.generateDouble());
        points.append(centre + QPointF(r * std::cos(angle), r * std::sin(angle)));
    }
    return points;
}

} // namespace

// The field is what signedDistance says at each sample: the same value within a sample of the outline, where a mask
// image's soft edge lies, the same sign everywhere, a sliver longer at most a few samples out, where the
// renderer still reads it, and never far off further away.
TEST(PolygonDistanceField, AgreesWithTheDistanceOfEverySample)
{
    using Sampling = PolygonDistanceField::Sampling;
    const QList<QList<QPointF>> shapes{
        {{0.2, 0.2}, {0.8, 0.3}, {0.5, 0.85}},
        {{0, 0}, {1, 0}, {1, 1}, {0.6, 1}, {0.6, 0.3}, {0.4, 0.3}, {0.4, 1}, {0, 1}},
        {{0, 0}, {0, 0}, {1, 0}, {1, 1}, {1, 1}},
        {{-0.5, -0.3}, {1.4, 0.2}, {0.9, 1.7}},
        {{-3, -3}, {4, -3}, {4, 4}, {-3, 4}},
        {{2, 2}, {3, 2}, {2.5, 3}},
        {{0.5, 0.5}, {0.5004, 0.5}, {0.5, 0.5003}},
        wobblyStar(300, {0.5, 0.5}, 0.45, 7),
        wobblyStar(1500, {0.3, 0.6}, 0.5, 11),
    };
    const QList<std::pair<const char*, Sampling>> samplings{
        {"texel centres", Sampling::texelCentres(256)},
        {"image pixels", Sampling::cornerToCorner(QRectF(0, 0, 1, 1), 512)},
        {"right half", Sampling::cornerToCorner(QRectF(0.5, 0, 0.5, 1), 128)},
    };
    for (const auto& [name, sampling] : samplings) {
        const float step = std::max(sampling.xs[1] - sampling.xs[0], sampling.ys[1] - sampling.ys[0]);
        for (qsizetype s = 0; s < shapes.size(); ++s) {
            SCOPED_TRACE(std::string(name) + ", shape " + std::to_string(s));
            const auto polygon = PolygonDistance::make(shapes[s]);
            const PolygonDistanceField field = PolygonDistanceField::make(*polygon, sampling);
            ASSERT_EQ(field.values.size(), sampling.xs.size() * sampling.ys.size());
            int differing = 0;
            float worst = 0;
            for (size_t j = 0; j < sampling.ys.size(); ++j)
                for (size_t i = 0; i < sampling.xs.size(); ++i) {
                    const float expected = polygon->signedDistance(sampling.xs[i], sampling.ys[j]);
                    const float got = field.values[j * sampling.xs.size() + i];
                    differing += std::signbit(got) != std::signbit(expected);
                    if (std::abs(expected) < step)
                        differing += got != expected;
                    else if (std::abs(got) < std::abs(expected))
                        ++differing;
                    if (std::abs(expected) <= 8 * step)
                        worst = std::max(worst, std::abs(got - expected));
                    else if (std::abs(got) > 1.1f * std::abs(expected))
                        ++differing;
                }
            EXPECT_EQ(differing, 0);
            EXPECT_LT(worst, 0.25f * step);
        }
    }
}
