#include "meshshader.h"

static const char* const vertexSource = R"(#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 meshParameter;
out vec2 mesh;

void main()
{
    gl_Position = vec4(position, 0.0, 1.0);
    mesh = meshParameter;
}
)";

// Masks are sampled in output space (the mesh parameter); the media at the cropped, aspect-filled, oriented point.
static const char* const fragmentSource = R"(#version 330 core
in vec2 mesh;
out vec4 colourOut;

uniform sampler2D media;
uniform sampler2D fade;
uniform sampler2D lift;
uniform sampler2D polygon;
uniform sampler2D chromaU;
uniform sampler2D chromaV;
uniform int mediaFormat;
uniform mat3 yuvToRgb;
uniform vec4 crop;
uniform vec2 fit;
uniform int grid;
uniform vec4 orientationX;
uniform vec4 orientationY;

// 0: RGB(A); 1: planar Y, U, V; 2: Y with interleaved UV. Video YUV is limited range.
vec3 mediaColour(vec2 s)
{
    if (mediaFormat == 0)
        return texture(media, s).rgb;
    float y = texture(media, s).r;
    vec2 chroma = mediaFormat == 1 ? vec2(texture(chromaU, s).r, texture(chromaV, s).r) : texture(chromaU, s).rg;
    vec3 yuv = vec3((y - 16.0 / 255.0) * (255.0 / 219.0), (chroma - 128.0 / 255.0) * (255.0 / 224.0));
    return clamp(yuvToRgb * yuv, 0.0, 1.0);
}

void main()
{
    vec2 uv = crop.xy + mesh * crop.zw;
    vec2 p = (uv - 0.5) * fit + 0.5;
    vec2 s = vec2(dot(orientationX.xyz, vec3(p, 1.0)), dot(orientationY.xyz, vec3(p, 1.0)));
    vec3 colour = mediaColour(s);
    if (grid != 0) {
        vec2 l = abs(fract(uv * 20.0 + 0.5) - 0.5);
        colour = min(l.x, l.y) < 0.018 ? vec3(0.0, 0.85, 0.9) : vec3(0.0);
    }
    float liftAmount = texture(lift, mesh).a;
    float d = texture(polygon, mesh).r;
    float w = max(fwidth(d), 0.000001);
    float coverage = smoothstep(-0.5 * w, 0.5 * w, d);
    colourOut = vec4(mix(colour, vec3(1.0), liftAmount) * texture(fade, mesh).a * coverage, 1.0);
}
)";

MeshShaderSource MeshShaderSource::builtIn()
{
    return {QString::fromLatin1(vertexSource), QString::fromLatin1(fragmentSource)};
}
