#include "meshframes.h"

void MeshFrames::receive(const QImage& newFrame, const QTransform& newTransform)
{
    frame = newFrame;
    transform = newTransform;
    if (invalidate)
        invalidate();
}

void MeshFrames::clearFrame()
{
    frame = QImage();
}
