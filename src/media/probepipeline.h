#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

// A paused playbin for looking into a file without playing it, driven from the calling thread (any thread).
// It hears the errors that decodebin drops, as the player does, so a broken file fails in milliseconds instead
// of waiting out the time limit.
class ProbePipeline
{
  public:
    // playbin keeps its own reference to videoSink; none decodes video into a fakesink. Sound is decoded only when
    // asked for.
    ProbePipeline(const QUrl& url, GstElement* videoSink, bool audio);
    ~ProbePipeline();
    ProbePipeline(const ProbePipeline&) = delete;
    ProbePipeline& operator=(const ProbePipeline&) = delete;

    // Opens the file up to its first frame; false with errorText() when it cannot.
    bool preroll();
    // Moves to the frame whose span holds the given second and waits for it.
    bool seek(double seconds);
    std::optional<double> duration() const;
    // The second at which the first frame of the picture starts, read by running the file until that frame (a
    // file may hold sound, or nothing, before its picture begins). Only for a probe made with no video sink of its
    // own; none when the file has no picture or cannot be read.
    std::optional<double> firstFrameTime();
    QString errorText() const { return m_error; }

  private:
    bool waitForPreroll();
    // Waits until the bus carries a message of the given type (and name, for an application message), which is
    // handed to arrived; false on an error, the end of the file or the time limit.
    bool waitFor(int type, const char* applicationName, const std::function<void(GstMessage*)>& arrived);

    QUrl m_url;
    GstElement* m_pipeline = nullptr;
    GstBus* m_bus = nullptr;
    // The fakesink made when no video sink was given; playbin holds it.
    GstElement* m_ownVideoSink = nullptr;
    QString m_error;
};
