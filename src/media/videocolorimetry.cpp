#include "videocolorimetry.h"

namespace {

// Sample offsets and scales of Y and of the chroma pair, in 8-bit levels.
struct Range
{
    double lumaOffset, lumaScale, chromaScale;
};

Range rangeOf(bool full)
{
    if (full)
        return {0, 255, 255};
    return {16, 219, 224};
}

// Rows r, g, b; columns y, cb, cr: the conversion of normalised luma (0–1) and chroma (−0.5–0.5).
std::array<std::array<double, 3>, 3> rowsFor(double kr, double kb)
{
    const double kg = 1 - kr - kb;
    return {{{1, 0, 2 * (1 - kr)}, {1, -2 * kb * (1 - kb) / kg, -2 * kr * (1 - kr) / kg}, {1, 2 * (1 - kb), 0}}};
}

} // namespace

VideoColorimetry VideoColorimetry::defaultFor(QSize size)
{
    return size.height() >= 720 ? bt709() : bt601();
}

std::array<float, 9> VideoColorimetry::matrix() const
{
    const Range range = rangeOf(fullRange);
    const auto rows = rowsFor(kr, kb);
    const double scale[3] = {255 / range.lumaScale, 255 / range.chromaScale, 255 / range.chromaScale};
    std::array<float, 9> columns{};
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            columns[size_t(column * 3 + row)] = float(rows[row][column] * scale[column]);
    return columns;
}

std::array<float, 3> VideoColorimetry::offset() const
{
    const Range range = rangeOf(fullRange);
    const auto rows = rowsFor(kr, kb);
    const double shifted[3] = {range.lumaOffset / range.lumaScale, 128 / range.chromaScale, 128 / range.chromaScale};
    std::array<float, 3> offset{};
    for (int row = 0; row < 3; ++row)
        offset[size_t(row)] =
            float(-(rows[row][0] * shifted[0] + rows[row][1] * shifted[1] + rows[row][2] * shifted[2]));
    return offset;
}
