#include "picture.h"

#include "audiochannelmixer.h"
#include "meshvideofeed.h"
#include "stilldecoder.h"
#include "threadpoolfuture.h"

#include <QFutureWatcher>
#include <QMimeDatabase>

Picture::Picture(const PlayerFactory& makePlayer, QObject* parent) : QObject(parent), m_player(makePlayer(this)) {}

Picture::~Picture() = default;

MeshVideoFeed* Picture::meshVideoFeed()
{
    if (!m_feed)
        m_feed = std::make_unique<MeshVideoFeed>(m_player.get());
    return m_feed.get();
}

void Picture::load(const std::optional<QUrl>& url)
{
    cancelPreload();
    if (m_firstFrameToken && m_feed)
        m_feed->remove(*m_firstFrameToken);
    m_firstFrameToken.reset();
    // A conversion still running belongs to the old media: its result is dropped.
    ++m_capture;
    m_converting = false;
    if (m_transitionFrame) {
        m_transitionFrame.reset();
        m_transitionVideoFrame.reset();
        emit transitionFrameChanged();
    }
    setUrl(url);
    setStillSource(std::nullopt);
    m_player->clear();
    endStillDecode();
    m_stillFailed = false;
    setImage(std::nullopt);
    if (!url)
        return;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(url->fileName(), QMimeDatabase::MatchExtension);
    if (type.name().startsWith(QLatin1String("image/"))) {
        showStill(url->toLocalFile());
        return;
    }
    m_player->load(*url);
    if (m_audioMixer)
        m_player->setAudioMixer(m_audioMixer);
}

// A still that is not at hand is shown once its decode ends; until then the picture shows no image.
void Picture::showStill(const QString& path)
{
    StillDecoder& decoder = StillDecoder::shared();
    if (const std::optional<QImage> image = decoder.image(path)) {
        showDecodedStill(*image);
        return;
    }
    m_decodingStill = path;
    m_stillConnection =
        connect(&decoder, &StillDecoder::decoded, this, [this](const QString& decoded, const QImage& image) {
            if (decoded != m_decodingStill)
                return;
            endStillDecode();
            showDecodedStill(image);
        });
}

void Picture::showDecodedStill(const QImage& image)
{
    if (!image.isNull()) {
        setImage(image);
        return;
    }
    m_stillFailed = true;
}

void Picture::endStillDecode()
{
    m_decodingStill.reset();
    disconnect(m_stillConnection);
}

void Picture::preloadVideo(const QUrl& url)
{
    load(url);
    m_player->setMuted(true);
    if (!m_player->hasItem())
        return;
    m_preloading = true;
    m_preloadConnection = connect(m_player.get(), &Player::statusChanged, this, [this] { prerollWhenReady(); });
    prerollWhenReady();
}

void Picture::prerollWhenReady()
{
    if (!m_preloading || !m_player->isReady())
        return;
    // Loading leaves the player prerolled at the start: readiness is all a preload waits for.
    cancelPreload();
}

void Picture::cancelPreload()
{
    m_preloading = false;
    disconnect(m_preloadConnection);
}

void Picture::prepareTransitionFrame()
{
    if (m_firstFrameToken || m_transitionFrame || m_converting)
        return;
    MeshVideoFeed* feed = meshVideoFeed();
    m_firstFrameToken = QUuid();
    const QUuid token = feed->add([this](const VideoFrame& frame) { storeTransitionFrame(frame); });
    if (m_converting) {
        feed->remove(token);
        m_firstFrameToken.reset();
        return;
    }
    m_firstFrameToken = token;
}

// The capture ends with the first frame; its conversion (milliseconds for a 1080p frame) runs on the thread pool,
// and the frame is held from when it is done.
void Picture::storeTransitionFrame(const VideoFrame& frame)
{
    if (m_transitionFrame || m_converting)
        return;
    m_converting = true;
    endCapture();
    auto* conversion = new QFutureWatcher<QImage>(this);
    connect(conversion, &QFutureWatcherBase::finished, this, [this, conversion, frame, capture = m_capture] {
        conversion->deleteLater();
        if (capture != m_capture)
            return;
        m_converting = false;
        const QImage image = conversion->result();
        if (image.isNull()) {
            prepareTransitionFrame();
            return;
        }
        m_transitionFrame = image;
        m_transitionVideoFrame = frame;
        emit transitionFrameChanged();
    });
    conversion->setFuture(runInThreadPool<QImage>([frame] { return frame.toImage(); }));
}

void Picture::endCapture()
{
    if (!m_firstFrameToken || m_firstFrameToken->isNull())
        return;
    const QUuid token = *m_firstFrameToken;
    m_firstFrameToken.reset();
    QMetaObject::invokeMethod(
        this, [this, token] { meshVideoFeed()->remove(token); }, Qt::QueuedConnection);
}

void Picture::setUrl(const std::optional<QUrl>& url)
{
    if (m_url == url)
        return;
    m_url = url;
    emit urlChanged();
}

void Picture::setImage(const std::optional<QImage>& image)
{
    if (!m_image && !image)
        return;
    m_image = image;
    emit imageChanged();
}

void Picture::showFrameOf(const QUrl& file, const QImage& frame)
{
    load(std::nullopt);
    setImage(frame);
    setStillSource(file);
}

void Picture::setStillSource(const std::optional<QUrl>& file)
{
    if (m_stillSource == file)
        return;
    m_stillSource = file;
    emit stillSourceChanged();
}

void Picture::setBlack(bool black)
{
    if (m_black == black)
        return;
    m_black = black;
    emit blackChanged();
}

void Picture::setForeground(Picture* picture)
{
    if (m_foreground == picture)
        return;
    m_foreground = picture;
    emit foregroundChanged();
}

void Picture::setIndependentOutput(Picture* picture)
{
    if (m_independentOutput == picture)
        return;
    m_independentOutput = picture;
    emit independentOutputChanged();
}

void Picture::setFallback(const std::optional<QImage>& image)
{
    if (!m_fallback && !image)
        return;
    m_fallback = image;
    emit fallbackChanged();
}
