#pragma once

#include <QImage>
#include <QTransform>
#include <functional>

// The latest video frame delivered to one mesh view. Storing a frame asks the view for a redraw through
// invalidate; it redraws nothing else.
class MeshFrames
{
public:
    // transform maps the frame's pixels (origin top left, y down) to the upright picture.
    void receive(const QImage& frame, const QTransform& transform);
    void clearFrame();

    QImage frame;
    QTransform transform;
    std::function<void()> invalidate;
};
