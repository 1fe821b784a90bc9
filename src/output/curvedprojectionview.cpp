#include "curvedprojectionview.h"

#include "meshvideofeed.h"
#include "meshview.h"
#include "meshwindow.h"
#include "picture.h"
#include "polygondistancefieldcache.h"
#include "redrawpacer.h"

#include <QHash>
#include <QVBoxLayout>

using namespace std::chrono_literals;

static constexpr auto kMonitorFrameInterval = 42ms;

CurvedProjectionView::CurvedProjectionView(Picture* root, const ProjectorMapping& mapping, bool pattern,
                                           QWidget* parent, Surface surface)
    : QWidget(parent), m_root(root), m_mapping(mapping), m_pattern(pattern)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (surface == Surface::window) {
        m_window = new MeshWindow;
        layout->addWidget(QWidget::createWindowContainer(m_window, this));
        m_frames->invalidate = [window = QPointer<MeshWindow>(m_window)] {
            if (window)
                window->update();
        };
    } else {
        // A monitor draws the video 24 times a second at most, however often frames come.
        m_view = new MeshView(this);
        layout->addWidget(m_view);
        m_monitorPacer = new RedrawPacer(
            kMonitorFrameInterval,
            [view = QPointer<MeshView>(m_view)] {
                if (view)
                    view->update();
            },
            this);
        m_frames->invalidate = [pacer = QPointer<RedrawPacer>(m_monitorPacer)] {
            if (pacer)
                pacer->request();
        };
    }
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
    return m_view ? m_view->errorText() : m_window->errorText();
}

void CurvedProjectionView::setInputs(const MeshInputs& inputs)
{
    if (m_view)
        m_view->setInputs(inputs);
    else
        m_window->setInputs(inputs);
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
    m_watched.clear();

    MeshInputs inputs;
    inputs.mapping = m_mapping;
    inputs.frames = m_frames;
    inputs.pattern = m_pattern;
    std::optional<Subscription> wanted;
    if (m_root) {
        Picture* output = m_root->independentOutput() ? m_root->independentOutput() : m_root.data();
        Picture* picture = output->foreground() ? output->foreground() : output;
        for (Picture* watched : QList<Picture*>{m_root.data(), output, picture})
            if (!m_watched.contains(watched))
                watch(watched);
        inputs.black = m_root->black();
        Player* player = picture->player();
        if (player->hasItem()) {
            // Generations count per player, so the player takes part in the item's identity.
            inputs.item = quint64(qHashMulti(0, player, player->generation()));
            if (!inputs.black && !inputs.pattern)
                wanted = Subscription{picture->meshVideoFeed(), player->generation()};
        }
        inputs.image =
            picture->image().value_or(picture->transitionFrame().value_or(output->fallback().value_or(QImage())));
        if (!picture->image() && picture->transitionFrame())
            inputs.heldFrame = picture->transitionVideoFrame().value_or(VideoFrame());
    }
    setInputs(inputs);
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
    m_watched.append(picture);
    const auto again = [this] { scheduleRefresh(); };
    for (auto signal :
         {&Picture::urlChanged, &Picture::imageChanged, &Picture::transitionFrameChanged, &Picture::blackChanged,
          &Picture::foregroundChanged, &Picture::independentOutputChanged, &Picture::fallbackChanged})
        m_watches.append(connect(picture, signal, this, again));
    m_watches.append(connect(picture->player(), &Player::statusChanged, this, again));
    m_watches.append(connect(picture, &QObject::destroyed, this, again));
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
    m_token = m_feed->add([frames = m_frames](const VideoFrame& frame) { frames->receive(frame); });
}

void CurvedProjectionView::unsubscribe()
{
    if (m_token && m_feed)
        m_feed->remove(*m_token);
    if (m_monitorPacer)
        m_monitorPacer->cancel();
    m_token.reset();
    m_feed.clear();
    m_subscription.reset();
}
