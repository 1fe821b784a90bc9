#pragma once

#include "timelinelayout.h"

#include <QColor>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;

// One clip as its lane shows it: a labelled block 24 points high in the middle of the lane, with a duration handle
// on a picture's right edge. Decides what the block shows at its width and paints it; holds no widget.
class TimelineClipView
{
  public:
    static constexpr double kIconWidth = 20;
    static constexpr double kNameWidth = 55;
    static constexpr double kHandleHeight = 17;

    TimelineClipView(const TimelineLayout::LaneClip& clip, double laneTop);

    const TimelineEvent& event() const { return m_clip.event; }
    const std::optional<MediaAsset>& asset() const { return m_clip.asset; }
    double width() const { return m_clip.width; }
    QRectF rect() const;
    bool showsIcon() const { return width() >= kIconWidth; }
    QString symbol() const;
    // The file name, shown only where there is room and the event plays a library entry.
    std::optional<QString> name() const;
    // Horizontal space kept free on each side of the label.
    double inset() const;
    // Only pictures carry the handle that changes how long they stand.
    std::optional<QRectF> handleRect() const;
    QString help() const;

    // Faded while the clip is dragged away; cyan while selected.
    void paint(QPainter& painter, bool selected, bool faded) const;

  private:
    // Narrower clips are drawn from a cache.
    static constexpr int kCachedWidth = 480;

    static QColor fill(bool selected);
    void paintBlock(QPainter& painter, bool selected) const;

    TimelineLayout::LaneClip m_clip;
    double m_laneTop;
};
