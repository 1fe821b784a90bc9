#pragma once

class QWidget;

// Makes a top-level window ready to hold OpenGL views (a curved mapping's mesh) before it is first shown. Qt
// composes a window through OpenGL only when it is created with a GL view among its children; the first GL view
// added to a window already on screen makes Qt replace the native window, which then jumps in the stacking order
// and loses its place. A window made ready here keeps its native window whatever views come and go. Does nothing
// without a window system, where there is no OpenGL.
void makeReadyForGLViews(QWidget* window);
