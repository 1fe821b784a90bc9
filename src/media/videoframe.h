#pragma once

#include "videocolorimetry.h"

#include <QImage>
#include <QSize>
#include <QTransform>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

// One decoded video frame as the decoder produced it. Copies share the same pixels; nothing is converted until
// toImage() is asked for, so a renderer can upload the planes as they are.
class VideoFrame
{
  public:
    enum class Format { i420, nv12, bgra, rgba };

    struct Plane
    {
        const std::uint8_t* data = nullptr;
        int stride = 0;
        int width = 0;
        int height = 0;
    };

    // Holds whatever keeps the pixels alive; made by the player.
    class Storage
    {
      public:
        virtual ~Storage() = default;
    };

    VideoFrame() = default;
    VideoFrame(std::shared_ptr<const Storage> storage, Format format, QSize size, std::array<Plane, 3> planes,
               int planeCount, double time, QTransform orientation, std::uint64_t serial,
               std::optional<VideoColorimetry> colorimetry = std::nullopt);

    // A frame that shares the image's pixels, for players that make frames from images.
    static VideoFrame fromImage(const QImage& image, double time = 0, std::uint64_t serial = 0);

    bool isNull() const { return !m_storage; }
    Format format() const { return m_format; }
    QSize size() const { return m_size; }
    int planeCount() const { return m_planeCount; }
    Plane plane(int index) const { return m_planes.at(index); }
    // Media time of the frame in seconds.
    double time() const { return m_time; }
    // The video's orientation in pixels of the frame: the frame itself is never rotated.
    QTransform orientation() const { return m_orientation; }
    // Grows with every new frame a player delivers.
    std::uint64_t serial() const { return m_serial; }
    // When the frame falls due on screen, on the host clock; none for a frame that shows at once (a paused player's).
    std::optional<std::chrono::steady_clock::time_point> dueAt() const { return m_dueAt; }
    void setDueAt(std::optional<std::chrono::steady_clock::time_point> dueAt) { m_dueAt = dueAt; }
    // How the YUV samples become RGB; a frame whose stream said nothing gets GStreamer's choice for its size.
    VideoColorimetry colorimetry() const { return m_colorimetry.value_or(VideoColorimetry::defaultFor(m_size)); }

    // The frame converted to RGB with its orientation applied, scaled down to fit maxSize when one is given. YUV is
    // converted exactly as the output shader does, to the level, so a held frame and the live one look the same.
    QImage toImage(QSize maxSize = {}) const;

  private:
    std::shared_ptr<const Storage> m_storage;
    Format m_format = Format::bgra;
    QSize m_size;
    std::array<Plane, 3> m_planes{};
    int m_planeCount = 0;
    double m_time = 0;
    QTransform m_orientation;
    std::uint64_t m_serial = 0;
    std::optional<VideoColorimetry> m_colorimetry;
    std::optional<std::chrono::steady_clock::time_point> m_dueAt;
};
