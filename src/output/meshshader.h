#pragma once

#include <QString>

// The GLSL programs of the mesh renderer, kept as text and compiled when the renderer first draws. The mesh
// program draws the curved mesh once per change of mesh, masks or size into a per-pixel warp map (mesh
// parameter, colour gain, lift); the picture program draws every frame from that map with one full-screen pass.
struct MeshShaderSource
{
    QString meshVertex;
    QString meshFragment;
    QString pictureVertex;
    QString pictureFragment;

    static MeshShaderSource builtIn();
    // The picture fragment program for one kind of media (0 RGB, 1 planar YUV, 2 YUV with interleaved UV),
    // or for the calibration grid.
    QString pictureFragmentFor(int mediaFormat, bool grid) const;
};
