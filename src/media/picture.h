#pragma once

#include "player.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QUuid>
#include <memory>
#include <optional>

class AudioChannelMixer;
class MeshVideoFeed;

// What one output shows: a still image or a video through its own player, over a fallback image, possibly
// replaced by a foreground picture. All of it lives on the main thread; stills are read and decoded off it.
class Picture : public QObject
{
    Q_OBJECT
  public:
    explicit Picture(const PlayerFactory& makePlayer, QObject* parent = nullptr);
    ~Picture() override;

    // Replaces the media: an image file becomes the still image, anything else goes to the player, which is
    // left paused at the start. None empties the picture.
    void load(const std::optional<QUrl>& url);
    // Loads a video muted; it is prerolled once it is ready.
    void preloadVideo(const QUrl& url);
    // Ends a preload in progress; the media stays loaded.
    void cancelPreload();
    bool isPreloading() const { return m_preloading; }
    // A still picture is being decoded; its image follows.
    bool isDecodingStill() const { return m_decodingStill.has_value(); }
    // The still cannot be shown: it is no picture that can be read, or it is larger than an output decodes. Holds
    // until the next load.
    bool stillFailed() const { return m_stillFailed; }
    // Captures the next frame of the video into transitionFrame(), converted off the main thread: the capture ends
    // at once, the frame is there (and transitionFrameChanged() sent) a few milliseconds later.
    void prepareTransitionFrame();

    Player* player() const { return m_player.get(); }
    MeshVideoFeed* meshVideoFeed();

    std::optional<QUrl> url() const { return m_url; }
    std::optional<QImage> image() const { return m_image; }
    void setImage(const std::optional<QImage>& image);
    // Shows one frame of a video as a still without loading the video; stillSource() names the file it came from
    // until the next load.
    void showFrameOf(const QUrl& file, const QImage& frame);
    std::optional<QUrl> stillSource() const { return m_stillSource; }
    std::optional<QImage> transitionFrame() const { return m_transitionFrame; }
    // The decoded frame transitionFrame() was converted from, there exactly when it is: an output that draws video
    // frames draws this one through its own conversion, so the live frame after it matches to the level.
    std::optional<VideoFrame> transitionVideoFrame() const { return m_transitionVideoFrame; }
    bool isCapturing() const { return m_firstFrameToken.has_value(); }
    bool black() const { return m_black; }
    void setBlack(bool black);
    Picture* foreground() const { return m_foreground; }
    void setForeground(Picture* picture);
    Picture* independentOutput() const { return m_independentOutput; }
    void setIndependentOutput(Picture* picture);
    std::optional<QImage> fallback() const { return m_fallback; }
    void setFallback(const std::optional<QImage>& image);
    bool showsStandby() const { return m_showsStandby; }
    void setShowsStandby(bool shows) { m_showsStandby = shows; }
    std::shared_ptr<AudioChannelMixer> audioMixer() const { return m_audioMixer; }
    void setAudioMixer(std::shared_ptr<AudioChannelMixer> mixer) { m_audioMixer = std::move(mixer); }

  signals:
    void urlChanged();
    void stillSourceChanged();
    void imageChanged();
    void transitionFrameChanged();
    void blackChanged();
    void foregroundChanged();
    void independentOutputChanged();
    void fallbackChanged();

  private:
    void setUrl(const std::optional<QUrl>& url);
    void setStillSource(const std::optional<QUrl>& file);
    void storeTransitionFrame(const VideoFrame& frame);
    void endCapture();
    void prerollWhenReady();
    void showStill(const QString& path);
    void endStillDecode();
    void showDecodedStill(const QImage& image);

    std::unique_ptr<Player> m_player;
    std::unique_ptr<MeshVideoFeed> m_feed;
    std::optional<QUrl> m_url;
    std::optional<QUrl> m_stillSource;
    std::optional<QImage> m_image;
    std::optional<QImage> m_transitionFrame;
    std::optional<VideoFrame> m_transitionVideoFrame;
    std::optional<QUuid> m_firstFrameToken;
    bool m_converting = false;
    // Counts loads, so that a conversion finishing after one is dropped.
    quint64 m_capture = 0;
    bool m_black = false;
    QPointer<Picture> m_foreground;
    QPointer<Picture> m_independentOutput;
    std::optional<QImage> m_fallback;
    bool m_showsStandby = false;
    std::shared_ptr<AudioChannelMixer> m_audioMixer;
    bool m_preloading = false;
    QMetaObject::Connection m_preloadConnection;
    std::optional<QString> m_decodingStill;
    bool m_stillFailed = false;
    QMetaObject::Connection m_stillConnection;
};
