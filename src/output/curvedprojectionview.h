#pragma once

#include "meshframes.h"
#include "projectormapping.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <memory>
#include <optional>

struct MeshInputs;
class MeshVideoFeed;
class MeshView;
class Picture;
class RedrawPacer;

// A screen's picture drawn through a mapping with a curved mesh. Shows the root picture's independent output
// when it has one (the root's black switch still counts), a foreground over the output's fallback, and the
// calibration grid instead of the picture when asked. Listens to the video frame feed only while it is on
// screen, shows a video and draws neither the grid nor black. A monitor: it redraws the video at most 24 times a
// second.
class CurvedProjectionView : public QWidget
{
    Q_OBJECT
  public:
    CurvedProjectionView(Picture* root, const ProjectorMapping& mapping, bool pattern, QWidget* parent = nullptr);
    ~CurvedProjectionView() override;

    void setRoot(Picture* root);
    void setMapping(const ProjectorMapping& mapping);
    void setPattern(bool pattern);

    bool isSubscribed() const { return m_token.has_value(); }
    QString errorText() const;
    MeshView* meshView() const { return m_view; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct Subscription
    {
        MeshVideoFeed* feed = nullptr;
        quint64 item = 0;
        bool operator==(const Subscription&) const = default;
    };

    void refresh();
    void scheduleRefresh();
    void watch(Picture* picture);
    void subscribe(const std::optional<Subscription>& wanted);
    void unsubscribe();

    QPointer<Picture> m_root;
    ProjectorMapping m_mapping;
    bool m_pattern = false;
    bool m_refreshPending = false;
    bool m_shown = false;
    MeshView* m_view = nullptr;
    RedrawPacer* m_monitorPacer = nullptr;
    std::shared_ptr<MeshFrames> m_frames = std::make_shared<MeshFrames>();
    QList<QMetaObject::Connection> m_watches;
    std::optional<Subscription> m_subscription;
    QPointer<MeshVideoFeed> m_feed;
    std::optional<QUuid> m_token;
};
