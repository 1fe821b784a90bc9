#pragma once

#include <QString>

// The GLSL programs of the mesh renderer, kept as text and compiled when the renderer first draws. The mesh
// program draws the curved mesh once per change of mesh or size into a per-pixel mesh map; the mask program
// turns that map, once per change of it or of the masks, into the warp map (the mesh parameter) and the shading map
// (colour gain and lift), both 8-bit textures, with one full-screen pass; the picture program draws every frame
// from them with one full-screen pass. The mask and picture programs share the full-screen vertex program.
struct MeshShaderSource
{
    QString meshVertex;
    QString meshFragment;
    QString maskFragment;
    QString fullScreenVertex;
    QString pictureFragment;

    static MeshShaderSource builtIn();
    // The picture fragment program for one kind of media (0 RGB, 1 planar YUV, 2 YUV with interleaved UV),
    // or for the calibration grid.
    QString pictureFragmentFor(int mediaFormat, bool grid) const;
};
