#pragma once

#include "meshrenderer.h"

#include <QOpenGLWidget>

// The OpenGL surface of a curved output: hands its values to a MeshRenderer and draws only when they, the
// size or a video frame change.
class MeshView : public QOpenGLWidget
{
    Q_OBJECT
  public:
    explicit MeshView(QWidget* parent = nullptr);
    ~MeshView() override;

    void setInputs(const MeshInputs& inputs);
    // Why the output stays black, when the shader could not be built; empty otherwise.
    QString errorText() const { return m_renderer.errorText(); }

  protected:
    void initializeGL() override;
    void paintGL() override;

  private:
    void releaseGl();

    MeshRenderer m_renderer;
};
