#pragma once

#include <QSize>
#include <array>

// How the Y, Cb and Cr samples of a decoded frame become RGB: the matrix (by its luma weights of red and blue), the
// range the samples use, and where each chroma sample sits among the luma samples it covers. Carried by every YUV
// frame so the shader and the CPU conversion both convert as the stream was made.
struct VideoColorimetry
{
    double kr = 0.299;
    double kb = 0.114;
    // Full range puts black at 0 and white at 255; limited (video) range at 16 and 235, chroma 16–240.
    bool fullRange = false;
    // Co-sited chroma sits on the first of the luma samples it covers (H.264's left siting is horizontally
    // co-sited); otherwise it sits between them.
    bool chromaCositedH = false;
    bool chromaCositedV = false;

    static VideoColorimetry bt601() { return {}; }
    static VideoColorimetry bt709() { return {0.2126, 0.0722}; }
    // What GStreamer assumes for a stream that says nothing: BT.709 from 720 lines up, BT.601 below, limited range.
    static VideoColorimetry defaultFor(QSize size);

    // rgb = matrix · (y, cb, cr) + offset, with the samples and the result as 0–1 (sample value / 255). The matrix
    // is column-major, ready for a GLSL mat3.
    std::array<float, 9> matrix() const;
    std::array<float, 3> offset() const;

    bool operator==(const VideoColorimetry&) const = default;
};
