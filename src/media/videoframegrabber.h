#pragma once

#include "probepipeline.h"
#include "videooutput.h"

#include <QImage>
#include <QSize>
#include <QUrl>
#include <optional>

// Frames of one video file at chosen seconds from one decoder that stays open between grabs, so that scrubbing
// through a file pays for opening it once. Blocks while it decodes; use it from one thread at a time.
class VideoFrameGrabber
{
  public:
    explicit VideoFrameGrabber(const QUrl& url);

    QUrl url() const { return m_url; }
    // The frame whose span holds the second, upright and scaled down to fit maxSize when one is given; none when the
    // file cannot be decoded.
    std::optional<QImage> frameAt(double seconds, QSize maxSize = {});

  private:
    QUrl m_url;
    // Declared before the pipeline, which holds a reference to its element and is released first.
    VideoOutput m_output;
    ProbePipeline m_probe;
    std::optional<bool> m_opened;
};
