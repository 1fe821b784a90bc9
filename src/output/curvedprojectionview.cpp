#include "curvedprojectionview.h"

#include "meshpicture.h"
#include "meshvideofeed.h"
#include "meshview.h"
#include "picture.h"
#include "polygondistancefieldcache.h"
#include "redrawpacer.h"

#include <QHash>
#include <QVBoxLayout>

using namespace std::chrono_literals;

static constexpr auto kMonitorFrameInterval = 42ms;

CurvedProjectionView::CurvedProjectionView(Picture* root, const ProjectorMapping& mapping, bool pattern,
                                           QWidget* parent)
    : QWidget(parent), m_root(root), m_mapping(mapping), m_pattern(pattern), m_view(new MeshView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    // The video is drawn 24 times a second at most, however often frames come.
    m_monitorPacer = new RedrawPacer(
        kMonitorFrameInterval,
        [view = QPointer<MeshView>(m_view)] {
            if (view)
                view->update();
        },
        this);
    m_frames->setInvalidate([pacer = QPointer<RedrawPacer>(m_monitorPacer)] {
        if (pacer)
            pacer->request();
    });
    // A mask's field comes from a pool thread; the renderer takes it in on the next refresh.
    connect(&PolygonDistanceFieldCache::shared(), &PolygonDistanceFieldCache::ready, this,
            &CurvedProjectionView::scheduleRefresh);
    refresh();
}

CurvedProjectionView::~CurvedProjectionView()
{
    unsubscribe();
}

void CurvedProjectionView::setRoot(Picture* root)
{
    m_root = root;
    refresh();
}

void CurvedProjectionView::setMapping(const ProjectorMapping& mapping)
{
    m_mapping = mapping;
    refresh();
}

void CurvedProjectionView::setPattern(bool pattern)
{
    m_pattern = pattern;
    refresh();
}

QString CurvedProjectionView::errorText() const
{
    return m_view->errorText();
}

// Also told when the window is minimised or restored, which visibility alone does not say.
void CurvedProjectionView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_shown = true;
    refresh();
}

void CurvedProjectionView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_shown = false;
    unsubscribe();
}

void CurvedProjectionView::refresh()
{
    m_refreshPending = false;
    for (const QMetaObject::Connection& connection : std::as_const(m_watches))
        disconnect(connection);
    m_watches.clear();

    MeshInputs inputs;
    inputs.mapping = m_mapping;
    inputs.frames = m_frames;
    inputs.pattern = m_pattern;
    const MeshPicture described = MeshPicture::describe(m_root, inputs, MeshPicture::Standby::untilFirstFrame);
    for (Picture* watched : described.watched)
        watch(watched);
    std::optional<Subscription> wanted;
    if (described.video)
        wanted = Subscription{described.video->meshVideoFeed(), *inputs.item};
    m_view->setInputs(inputs);
    subscribe(m_shown ? wanted : std::nullopt);
}

// A picture announces each step of a change (a load clears the player before it loads the next item):
// the view takes them all in at once, so a new video still finds the old frame on show.
void CurvedProjectionView::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &CurvedProjectionView::refresh, Qt::QueuedConnection);
}

void CurvedProjectionView::watch(Picture* picture)
{
    m_watches.append(MeshPicture::watch(picture, this, [this] { scheduleRefresh(); }));
}

void CurvedProjectionView::subscribe(const std::optional<Subscription>& wanted)
{
    if (wanted == m_subscription)
        return;
    unsubscribe();
    if (!wanted)
        return;
    m_subscription = wanted;
    m_feed = wanted->feed;
    m_token = m_feed->add(
        [frames = m_frames, item = wanted->item](const VideoFrame& frame) { frames->receive(frame, item); });
}

void CurvedProjectionView::unsubscribe()
{
    if (m_token && m_feed)
        m_feed->remove(*m_token);
    m_monitorPacer->cancel();
    m_token.reset();
    m_feed.clear();
    m_subscription.reset();
}
