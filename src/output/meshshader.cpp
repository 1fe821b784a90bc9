#include "meshshader.h"

static const char* const meshVertexSource = R"(#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 meshParameter;
out vec2 mesh;

void main()
{
    gl_Position = vec4(position, 0.0, 1.0);
    mesh = meshParameter;
}
)";

// The mesh parameter, how far it moves over a pixel and a flag for pixels inside the mesh; beside it the step to
// the next pixel across and up, so the mask pass can take the polygon edge's width per pixel as this pass would.
static const char* const meshFragmentSource = R"(#version 330 core
in vec2 mesh;
layout(location = 0) out vec4 meshOut;
layout(location = 1) out vec4 slopeOut;

void main()
{
    vec2 across = dFdx(mesh);
    vec2 up = dFdy(mesh);
    meshOut = vec4(mesh, length(across) + length(up), 1.0);
    slopeOut = vec4(across, up);
}
)";

// Masks are sampled in output space (the mesh parameter). Per output pixel the warp map holds where the mesh
// parameter lies relative to the pixel's own centre, in output pixels as 16-bit fixed point (stepsPerPixel steps a
// pixel, two bytes an axis), so a 1:1 mapping samples exact pixel centres; the shading map holds the colour gain and
// the lift, so that a frame is colour × gain + lift, with gain = (1 − lift amount) × fade × coverage and
// lift = lift amount × fade × coverage. Outside the mesh both are 0. Both are 8-bit textures, the ones a software
// rasteriser fetches fastest. The polygon's edge is one pixel wide: near it, its distance is differenced within each
// 2 × 2 pixel block, as the GPU differences a value; further than a few pixels from it the coverage is whole or none.
static const char* const maskFragmentSource = R"(#version 330 core
layout(location = 0) out vec4 warpOut;
layout(location = 1) out vec2 shadingOut;

uniform sampler2D meshMap;
uniform sampler2D slopeMap;
uniform sampler2D fade;
uniform sampler2D lift;
uniform sampler2D polygon;
uniform float stepsPerPixel;

float distanceAt(vec2 mesh)
{
    return textureLod(polygon, mesh, 0.0).r;
}

float coverageAt(ivec2 pixel, vec2 mesh, float pixelStep)
{
    float d = distanceAt(mesh);
    if (abs(d) > 4.0 * pixelStep)
        return d > 0.0 ? 1.0 : 0.0;
    vec4 slope = texelFetch(slopeMap, pixel, 0);
    float dx = (pixel.x & 1) == 0 ? distanceAt(mesh + slope.xy) - d : d - distanceAt(mesh - slope.xy);
    float dy = (pixel.y & 1) == 0 ? distanceAt(mesh + slope.zw) - d : d - distanceAt(mesh - slope.zw);
    float w = max(abs(dx) + abs(dy), 0.000001);
    return smoothstep(-0.5 * w, 0.5 * w, d);
}

void main()
{
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    vec4 here = texelFetch(meshMap, pixel, 0);
    if (here.w == 0.0) {
        warpOut = vec4(0.0);
        shadingOut = vec2(0.0);
        return;
    }
    vec2 offset = here.xy * vec2(textureSize(meshMap, 0)) - gl_FragCoord.xy;
    vec2 steps = clamp(floor(offset * stepsPerPixel + 0.5) + 32768.0, 0.0, 65535.0);
    vec2 high = floor(steps / 256.0);
    warpOut = vec4(high.x, steps.x - 256.0 * high.x, high.y, steps.y - 256.0 * high.y) / 255.0;
    float liftAmount = textureLod(lift, here.xy, 0.0).a;
    float keep = textureLod(fade, here.xy, 0.0).a * coverageAt(pixel, here.xy, here.z);
    shadingOut = vec2((1.0 - liftAmount) * keep, liftAmount * keep);
}
)";

static const char* const fullScreenVertexSource = R"(#version 330 core
void main()
{
    vec2 corner = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2));
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

// Compiled once per kind of media and for the grid: MEDIA_FORMAT 0 is RGB(A), over the back layer when layered (a
// still over the fallback or the standby artwork, each aspect-filled by its own map backX, backY), 1 planar Y, U, V, 2
// Y with interleaved UV; GRID 1 draws the calibration grid instead, from the float mesh map. Pixels that stay black are
// left as cleared: a rasteriser skips a block whose pixels are all discarded. sampleX and sampleY take the mesh
// parameter straight to the media coordinate (crop, fill and orientation). YUV becomes RGB by the frame's own
// matrix and range (yuvToRgb, yuvOffset); chromaPlacement moves a luma coordinate to where the chroma plane holds
// that position (scale xy, offset zw), so co-sited chroma is read where it was sampled.
static const char* const pictureFragmentSource = R"(
out vec4 colourOut;

uniform sampler2D warp;
uniform sampler2D shading;
uniform sampler2D meshMap;
uniform float stepsPerPixel;
uniform vec2 inverseSize;
uniform sampler2D media;
uniform sampler2D chromaU;
uniform sampler2D chromaV;
uniform mat3 yuvToRgb;
uniform vec3 yuvOffset;
uniform vec4 chromaPlacement;
uniform vec3 sampleX;
uniform vec3 sampleY;
uniform vec4 crop;
uniform sampler2D back;
uniform vec3 backX;
uniform vec3 backY;
uniform bool layered;

// A pixel's own texel of an output-sized map, read through the sampler (nearest filtering, at the pixel's centre):
// a software rasteriser reads 8-bit texels fastest that way.
vec4 mapAt(sampler2D map)
{
    return textureLod(map, gl_FragCoord.xy * inverseSize, 0.0);
}

#if GRID
// The mesh map at a pixel; empty outside the mesh and outside the map.
vec4 meshAt(ivec2 pixel)
{
    bool inMap = all(greaterThanEqual(pixel, ivec2(0))) && all(lessThan(pixel, textureSize(meshMap, 0)));
    return inMap ? texelFetch(meshMap, pixel, 0) : vec4(0.0);
}

// How far the mesh parameter moves over one pixel along step, taken from a neighbour inside the mesh: screen-space
// derivatives would be wrong at its edges. Notes whether a neighbour lies outside it.
vec2 meshStep(ivec2 pixel, ivec2 step, vec2 here, inout bool atEdge)
{
    vec4 ahead = meshAt(pixel + step);
    vec4 behind = meshAt(pixel - step);
    bool hasAhead = ahead.w != 0.0;
    bool hasBehind = behind.w != 0.0;
    atEdge = atEdge || !hasAhead || !hasBehind;
    return hasAhead ? ahead.xy - here : (hasBehind ? here - behind.xy : vec2(0.0));
}

// Twenty cells across the crop. A line is 0.036 cells wide but never thinner than about a pixel, so that it stays
// continuous when the output is drawn small; at the mesh's edge, where only the inner half of a line can show, it
// reaches a whole pixel in.
vec3 gridColour(ivec2 pixel, vec2 here)
{
    bool atEdge = false;
    vec2 across = meshStep(pixel, ivec2(1, 0), here, atEdge) * crop.zw * 20.0;
    vec2 up = meshStep(pixel, ivec2(0, 1), here, atEdge) * crop.zw * 20.0;
    vec2 cellsPerPixel = max(vec2(length(vec2(across.x, up.x)), length(vec2(across.y, up.y))), vec2(1e-6));
    vec2 cells = (crop.xy + here * crop.zw) * 20.0;
    vec2 pixelsToLine = abs(fract(cells + 0.5) - 0.5) / cellsPerPixel;
    vec2 halfWidth = max(0.018 / cellsPerPixel, vec2(atEdge ? 1.05 : 0.55));
    return any(lessThan(pixelsToLine, halfWidth)) ? vec3(0.0, 0.85, 0.9) : vec3(0.0);
}
#else
// The mesh parameter at a pixel, from its offset in the warp map.
vec2 meshAt(ivec2 pixel)
{
    vec4 bytes = floor(mapAt(warp) * 255.0 + 0.5);
    vec2 offset = (bytes.xz * 256.0 + bytes.yw - 32768.0) / stepsPerPixel;
    return (vec2(pixel) + 0.5 + offset) / vec2(textureSize(warp, 0));
}

// A still is premultiplied: the back layer shows where it is transparent. Video frames are opaque.
vec3 mediaColour(vec2 s, vec3 m)
{
#if MEDIA_FORMAT == 0
    vec4 content = texture(media, s);
    if (!layered)
        return content.rgb;
    return content.rgb + texture(back, vec2(dot(backX, m), dot(backY, m))).rgb * (1.0 - content.a);
#else
    float y = texture(media, s).r;
    vec2 c = s * chromaPlacement.xy + chromaPlacement.zw;
#if MEDIA_FORMAT == 1
    vec2 chroma = vec2(texture(chromaU, c).r, texture(chromaV, c).r);
#else
    vec2 chroma = texture(chromaU, c).rg;
#endif
    return clamp(yuvToRgb * vec3(y, chroma) + yuvOffset, 0.0, 1.0);
#endif
}
#endif

void main()
{
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    vec2 gainLift = mapAt(shading).rg;
    if (gainLift == vec2(0.0))
        discard;
#if GRID
    vec3 colour = gridColour(pixel, texelFetch(meshMap, pixel, 0).xy);
#else
    vec3 m = vec3(meshAt(pixel), 1.0);
    vec3 colour = mediaColour(vec2(dot(sampleX, m), dot(sampleY, m)), m);
#endif
    colourOut = vec4(colour * gainLift.x + gainLift.y, 1.0);
}
)";

MeshShaderSource MeshShaderSource::builtIn()
{
    return {QString::fromLatin1(meshVertexSource), QString::fromLatin1(meshFragmentSource),
            QString::fromLatin1(maskFragmentSource), QString::fromLatin1(fullScreenVertexSource),
            QString::fromLatin1(pictureFragmentSource)};
}

QString MeshShaderSource::pictureFragmentFor(int mediaFormat, bool grid) const
{
    return QStringLiteral("#version 330 core\n#define MEDIA_FORMAT %1\n#define GRID %2\n")
               .arg(mediaFormat)
               .arg(grid ? 1 : 0) +
           pictureFragment;
}
