#include "cuepreview.h"

#include "engine.h"
#include "picture.h"
#include "screenpicture.h"

using namespace std::chrono_literals;

// A scrub calls again before this has passed; only where it comes to rest is worth a still.
static constexpr auto kSettle = 20ms;
static constexpr auto kIdleDecoders = 10s;

static void playSilently(Picture* picture, const std::optional<QUrl>& url)
{
    picture->load(url);
    picture->player()->setMuted(true);
    picture->player()->play();
}

CuePreview::CuePreview(Engine& engine) : QObject(&engine), m_engine(engine), m_stills(this, kStillSize)
{
    m_settle.setSingleShot(true);
    m_settle.setTimerType(Qt::PreciseTimer);
    connect(&m_settle, &QTimer::timeout, this, &CuePreview::showTimeline);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] { m_stills.closeIdle(); });
}

// Stills still being grabbed are not waited for: they end on their own threads and land nowhere.
CuePreview::~CuePreview() = default;

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

void CuePreview::supersede()
{
    m_stills.startRound(++m_generation);
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
    m_stills.closeUnasked();
}

void CuePreview::showFrame(const ScreenRole& role, const std::optional<QUrl>& url, double offset, bool forTimeline)
{
    Picture* picture = m_engine.preview(role);
    if (!picture)
        return frameShown(forTimeline);
    const quint64 ticket = ++m_tickets[role];
    if (url && assetKind(*url) == AssetKind::video) {
        m_idle.start(kIdleDecoders);
        m_stills.grab(*url, offset,
                      [this, role, file = *url, generation = m_generation, show = m_engine.showNumber(), ticket,
                       forTimeline](const std::optional<QImage>& image) {
                          showGrabbed(role, file, generation, show, ticket, forTimeline, image);
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
