#pragma once

#include "projectormapping.h"

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <optional>

class ProjectorInput;

// Shows its content through the flat part of a mapping: drawn undistorted, overlaid with the black-level lift,
// masked by the edge-blend and polygon fade, then corner-pinned onto the mapping's quad and clipped to the view.
// The mask images are remade only when what they depend on changes (edges, gamma, polygon, black level).
class WarpedOutput : public QWidget
{
    Q_OBJECT
  public:
    WarpedOutput(const ProjectorMapping& mapping, ProjectorInput* content, QWidget* parent = nullptr);

    void setMapping(const ProjectorMapping& mapping);
    ProjectorInput* content() const { return m_content; }
    // How many times the mask images were made; a corner move makes none.
    int maskBuilds() const { return m_maskBuilds; }
    bool hasFade() const { return m_fade.has_value(); }
    bool hasLift() const { return m_lift.has_value(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void updateMask();

    ProjectorMapping m_mapping;
    ProjectorInput* m_content;
    std::optional<QImage> m_fade;
    std::optional<QImage> m_lift;
    QImage m_flat;
    int m_maskBuilds = 0;
};
