#include "cuepreview.h"

#include "engine.h"
#include "picture.h"
#include "screenpicture.h"
#include "videoframegrabber.h"

#include <mutex>

using namespace std::chrono_literals;

// A scrub calls again before this has passed; only where it comes to rest is worth a still.
static constexpr auto kSettle = 20ms;
static constexpr int kGrabThreads = 4;
static constexpr auto kIdleDecoders = 10s;

struct CuePreview::Grabber
{
    std::mutex lock;
    std::unique_ptr<VideoFrameGrabber> decoder;

    std::optional<QImage> frameAt(const QUrl& url, double offset)
    {
        if (!decoder || decoder->url() != url)
            decoder = std::make_unique<VideoFrameGrabber>(url);
        return decoder->frameAt(offset, kStillSize);
    }
};

static void playSilently(Picture* picture, const std::optional<QUrl>& url)
{
    picture->load(url);
    picture->player()->setMuted(true);
    picture->player()->play();
}

CuePreview::CuePreview(Engine& engine) : QObject(&engine), m_engine(engine)
{
    m_settle.setSingleShot(true);
    m_settle.setTimerType(Qt::PreciseTimer);
    connect(&m_settle, &QTimer::timeout, this, &CuePreview::showTimeline);
    m_grabs.setMaxThreadCount(kGrabThreads);
    m_idle.setSingleShot(true);
    // Stopped on a grab thread: stopping a decoder closes its file, which waits for a folder that does not answer.
    connect(&m_idle, &QTimer::timeout, this,
            [this] { m_grabs.start([idle = std::exchange(m_grabbers, {})]() mutable { idle.clear(); }); });
}

// Stills still being grabbed hold on to this object until they are done; those not begun end as soon as they do.
// The decoders are let go on a grab thread, as always.
CuePreview::~CuePreview()
{
    supersede();
    m_grabs.start([idle = std::exchange(m_grabbers, {})]() mutable { idle.clear(); });
    m_grabs.waitForDone();
}

void CuePreview::previewCue(const Cue& cue)
{
    supersede();
    const Show& show = m_engine.show();
    const QList<MediaAsset> assets = show.assets.value_or(QList<MediaAsset>{});
    for (const ScreenRole& role : show.screens())
        if (Picture* picture = m_engine.preview(role))
            playSilently(picture, openingPicture(cue, assets, role));
    m_engine.setMessage(QStringLiteral("正在预监 · ") + cue.name);
}

void CuePreview::previewEvent(const TimelineEvent& event)
{
    const std::optional<MediaAsset> asset = m_engine.asset(event);
    const std::optional<ScreenRole> role = event.screen();
    if (!asset || !role)
        return;
    supersede();
    if (Picture* picture = m_engine.preview(*role))
        playSilently(picture, asset->url);
    m_engine.setMessage(QStringLiteral("正在预监 · ") + asset->url.fileName());
}

void CuePreview::previewTimeline(const Cue& cue, double time)
{
    supersede();
    m_pending = Pending{cue, time, m_engine.showNumber()};
    m_settle.start(kSettle);
}

void CuePreview::cancelTimelinePreview()
{
    supersede();
}

void CuePreview::showReplaced()
{
    supersede();
}

// Grabs still queued are left to end on their thread without a look at the file: a queued one may hold the last
// reference to a decoder, or be the decoders' release itself, and closing a decoder may wait for a folder that does
// not answer. Dropping them from the queue here would run that on the show's thread.
void CuePreview::supersede()
{
    m_latest->store(++m_generation);
    m_settle.stop();
    m_pending.reset();
    m_outstanding = 0;
}

void CuePreview::showTimeline()
{
    if (!m_pending)
        return;
    const Pending pending = *std::exchange(m_pending, std::nullopt);
    if (pending.show != m_engine.showNumber())
        return;
    const Show& show = m_engine.show();
    const QList<MediaAsset> assets = show.assets.value_or(QList<MediaAsset>{});
    QList<ScreenRole> screens = show.screens();
    screens.removeIf([this](const ScreenRole& role) { return !m_engine.preview(role); });
    m_outstanding = int(screens.size());
    if (screens.isEmpty()) {
        emit timelinePreviewed();
        return;
    }
    for (const ScreenRole& role : std::as_const(screens)) {
        const ScreenPicture shown = screenPictureAt(pending.cue, assets, role, pending.time);
        showFrame(role, shown.url, shown.offset, true);
    }
}

void CuePreview::showFrame(const ScreenRole& role, const std::optional<QUrl>& url, double offset, bool forTimeline)
{
    Picture* picture = m_engine.preview(role);
    if (!picture)
        return frameShown(forTimeline);
    const quint64 ticket = ++m_tickets[role];
    if (url && assetKind(*url) == AssetKind::video) {
        std::shared_ptr<Grabber>& grabber = m_grabbers[role];
        if (!grabber)
            grabber = std::make_shared<Grabber>();
        m_idle.start(kIdleDecoders);
        const quint64 generation = m_generation;
        const quint64 show = m_engine.showNumber();
        m_grabs.start(
            [this, grabber, latest = m_latest, role, file = *url, offset, generation, show, ticket, forTimeline] {
                // Superseded while queued: it ends at once, without waiting for the screen's decoder.
                if (latest->load() != generation)
                    return;
                const std::lock_guard lock(grabber->lock);
                if (latest->load() != generation)
                    return;
                const std::optional<QImage> image = grabber->frameAt(file, offset);
                QMetaObject::invokeMethod(
                    this, [=, this] { showGrabbed(role, file, generation, show, ticket, forTimeline, image); },
                    Qt::QueuedConnection);
            });
        return;
    }
    // Scrubbing across an image does not read it again; a screen left with an earlier video's still is cleared.
    if (picture->url() != url)
        picture->load(url);
    else if (!url && picture->image())
        picture->load(std::nullopt);
    frameShown(forTimeline);
}

void CuePreview::showGrabbed(const ScreenRole& role, const QUrl& file, quint64 generation, quint64 show, quint64 ticket,
                             bool forTimeline, const std::optional<QImage>& image)
{
    // A still of the show before lands nowhere, even when the same file was opened again with the same cues.
    if (generation != m_generation || show != m_engine.showNumber())
        return;
    // A still asked for this screen since then takes its place.
    Picture* picture = ticket == m_tickets.value(role) ? m_engine.preview(role) : nullptr;
    if (picture && image)
        picture->showFrameOf(file, *image);
    else if (picture)
        picture->load(std::nullopt);
    frameShown(forTimeline);
}

void CuePreview::frameShown(bool forTimeline)
{
    if (forTimeline && m_outstanding > 0 && --m_outstanding == 0)
        emit timelinePreviewed();
}
