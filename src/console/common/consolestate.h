#pragma once

#include "show.h"

#include <QObject>
#include <QSet>
#include <optional>

class Engine;
class LumoSettings;

// The console window's own state, lent to every section: what the monitors show, which sheets are open, the
// monitors' height, the ticked screens and the page of screen cards, the kind of run to start. It lives as long as
// the window; the engine's changes never reset it. Each field has its change signal, so sections update in place.
class ConsoleState : public QObject
{
    Q_OBJECT
  public:
    static constexpr int screensPerPage = 2;
    static constexpr double minimumPreviewHeight = 55;
    static constexpr double maximumPreviewHeight = 230;

    ConsoleState(Engine& engine, LumoSettings& settings, QObject* parent = nullptr);

    Engine& engine() const { return m_engine; }
    LumoSettings& settings() const { return m_settings; }

    // The monitors show the engine's preview pictures instead of the on-air ones.
    bool previewMode() const { return m_previewMode; }
    void setPreviewMode(bool on);
    // The projection-check sheet is shown; launchAfterCheck: it was opened by "开始投放" and offers to start the run.
    bool preflightOpen() const { return m_preflightOpen; }
    void setPreflightOpen(bool open);
    bool launchAfterCheck() const { return m_launchAfterCheck; }
    void setLaunchAfterCheck(bool launch);
    // The monitors' height as the operator set it, kept within 55 … 230, shown whatever the window's size or the
    // selected cue (the column around them scrolls instead); resizeOrigin is the height where the current drag
    // began.
    double previewHeight() const { return m_previewHeight; }
    void setPreviewHeight(double height);
    std::optional<double> resizeOrigin() const { return m_resizeOrigin; }
    void setResizeOrigin(std::optional<double> origin) { m_resizeOrigin = origin; }
    bool audioExpanded() const { return m_audioExpanded; }
    void setAudioExpanded(bool expanded);
    bool lightingModuleOpen() const { return m_lightingModuleOpen; }
    void setLightingModuleOpen(bool open);
    // The screens ticked for independent playback.
    QSet<ScreenRole> selectedScreens() const { return m_selectedScreens; }
    void setSelectedScreens(const QSet<ScreenRole>& screens);
    int screenPage() const { return m_screenPage; }
    void setScreenPage(int page);
    ProjectionMode projectionMode() const { return m_projectionMode; }
    void setProjectionMode(ProjectionMode mode);

    // The last page of screen cards for the show's screens (0 for one or two screens).
    int lastScreenPage() const;
    static int lastScreenPage(qsizetype screenCount);
    // The first cue whose id is the engine's selection.
    std::optional<int> selectedIndex() const;
    std::optional<Cue> selection() const;

  signals:
    void previewModeChanged();
    void preflightOpenChanged();
    void launchAfterCheckChanged();
    void previewHeightChanged();
    void audioExpandedChanged();
    void lightingModuleOpenChanged();
    void selectedScreensChanged();
    void screenPageChanged();
    void projectionModeChanged();

  private:
    void screensMayHaveChanged();

    Engine& m_engine;
    LumoSettings& m_settings;
    bool m_previewMode = false;
    bool m_preflightOpen = false;
    bool m_launchAfterCheck = false;
    double m_previewHeight = 120;
    std::optional<double> m_resizeOrigin;
    bool m_audioExpanded = true;
    bool m_lightingModuleOpen = false;
    QSet<ScreenRole> m_selectedScreens;
    int m_screenPage = 0;
    ProjectionMode m_projectionMode = ProjectionMode::cueOnce;
    QList<ScreenRole> m_screens;
};
