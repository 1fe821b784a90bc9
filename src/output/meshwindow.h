#pragma once

#include "meshrenderer.h"

#include <QOpenGLWindow>

// The curved output drawn straight into a window of its own, with no copy between the renderer and the screen:
// for output windows, where every frame counts. Monitors use MeshView inside their widgets instead.
class MeshWindow : public QOpenGLWindow
{
    Q_OBJECT
  public:
    MeshWindow();
    ~MeshWindow() override;

    void setInputs(const MeshInputs& inputs);
    QString errorText() const { return m_renderer.errorText(); }

  protected:
    void initializeGL() override;
    void paintGL() override;

  private:
    void releaseGl();

    MeshRenderer m_renderer;
};
