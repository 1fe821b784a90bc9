#pragma once

#include "cue.h"
#include "screenrole.h"
#include "stillgrabs.h"
#include "timelineevent.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <optional>

class Engine;

// Puts content on the engine's preview pictures, never on air: a cue's opening pictures, one clip, or stills of what
// a cue's timeline shows at a moment. Video stills are grabbed off the main thread and set on it; each preview
// supersedes stills still being grabbed for an earlier one, so a scrub ends on its last position's pictures. A still
// held by a folder that stopped answering holds no other file's, on any screen, and nobody waits for it.
// Nothing in preview is ever heard.
class CuePreview : public QObject
{
    Q_OBJECT
  public:
    // Largest size of a video still.
    static constexpr QSize kStillSize{960, 540};

    explicit CuePreview(Engine& engine);
    ~CuePreview() override;

    void previewCue(const Cue& cue);
    void previewEvent(const TimelineEvent& event);
    // Starts after a short settling time; timelinePreviewed() follows once every screen shows its still.
    void previewTimeline(const Cue& cue, double time);
    void cancelTimelinePreview();
    // Another show took the place of the one previewed: no still asked for it lands on the new one's pictures.
    void showReplaced();
    // A grab thread still looks at a video, for a still wanted or not.
    bool grabbing() const { return m_stills.grabbing(); }

  signals:
    void timelinePreviewed();

  private:
    struct Pending
    {
        Cue cue;
        double time = 0;
        // The show it was asked for (Engine::showNumber).
        quint64 show = 0;
    };

    // Every preview makes stills still being grabbed for earlier ones count for nothing.
    void supersede();
    void showTimeline();
    void showFrame(const ScreenRole& role, const std::optional<QUrl>& url, double offset, bool forTimeline);
    void showGrabbed(const ScreenRole& role, const QUrl& file, quint64 generation, quint64 show, quint64 ticket,
                     bool forTimeline, const std::optional<QImage>& image);
    void frameShown(bool forTimeline);

    Engine& m_engine;
    QTimer m_settle;
    std::optional<Pending> m_pending;
    quint64 m_generation = 0;
    // Screens of the latest timeline preview whose still is not yet shown.
    int m_outstanding = 0;
    // Per screen, the latest still asked for: an older one that arrives late is not shown.
    QHash<ScreenRole, quint64> m_tickets;
    // Decoders left unused this long are closed.
    QTimer m_idle;
    StillGrabs m_stills;
};
