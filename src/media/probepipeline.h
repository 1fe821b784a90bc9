#pragma once

#include <QString>
#include <QUrl>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;

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
    QString errorText() const { return m_error; }

  private:
    bool waitForPreroll();

    QUrl m_url;
    GstElement* m_pipeline = nullptr;
    GstBus* m_bus = nullptr;
    QString m_error;
};
