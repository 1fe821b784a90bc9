#pragma once

#include "projectormapping.h"

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <optional>

class ProjectorInput;

// Shows its content through the flat part of a mapping: drawn undistorted, overlaid with the black-level lift,
// masked by the edge-blend and polygon fade, then corner-pinned onto the mapping's quad and clipped to the view.
// The mask images are remade only when what they depend on changes (edges, gamma, polygon, black level); the
// polygon's distances are made on a pool thread.
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
    // The polygon's field is being made; the fade shown before is drawn meanwhile.
    bool waitsForMask() const { return m_fadePending; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void updateMask();
    void updateFade();
    void showFade(const std::optional<QImage>& fade);

    ProjectorMapping m_mapping;
    ProjectorInput* m_content;
    std::optional<QImage> m_fade;
    // The polygon's field or the fade is being made; the fade shown before stays until it is ready.
    bool m_fadePending = false;
    // The field is there and the fade is being drawn from it.
    bool m_fadeDrawing = false;
    // Only the latest fade asked for is shown.
    quint64 m_fadeSerial = 0;
    // A fade was decided once: until then a pending one shows nothing that the mask might hide.
    bool m_fadeDecided = false;
    std::optional<QImage> m_lift;
    QImage m_flat;
    int m_maskBuilds = 0;
};
