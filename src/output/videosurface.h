#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <cstdint>
#include <optional>

class Player;

// Draws a player's video inside a picture view: the newest frame, as an image, and a signal when it changes.
class VideoSurface : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    // The player whose frames are shown; none empties the surface.
    virtual void show(Player* player) = 0;
    // Surfaces work only while their view is on screen.
    virtual void setActive(bool active) = 0;
    // Frames are converted no larger than this (the view's size in pixels); empty keeps their own size.
    void setTargetSize(QSize size) { m_targetSize = size; }
    // The frame on show; null when there is none.
    const QImage& image() const { return m_image; }

  signals:
    void changed();

  protected:
    void setImage(QImage image)
    {
        if (image.isNull() && m_image.isNull())
            return;
        m_image = std::move(image);
        emit changed();
    }
    // Converts the player's newest frame when it is one not shown yet, on a pool thread: the image comes with
    // changed() once made. One conversion at a time; a frame that comes meanwhile waits for the next call.
    void showNewestFrame(const Player& player);
    // The next frame is converted whatever it is (a new player or item); a conversion under way is not shown.
    void forgetFrame()
    {
        m_serial.reset();
        ++m_generation;
    }

  private:
    void converted(quint64 generation, QImage image);

    QImage m_image;
    QSize m_targetSize;
    std::optional<std::uint64_t> m_serial;
    bool m_converting = false;
    // Counts the frames forgotten: a conversion started before is dropped.
    quint64 m_generation = 0;
};
