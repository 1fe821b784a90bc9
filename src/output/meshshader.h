#pragma once

#include <QString>

// The GLSL program of the mesh renderer, kept as text and compiled when the renderer first draws.
struct MeshShaderSource
{
    QString vertex;
    QString fragment;

    static MeshShaderSource builtIn();
};
