#include "videoframe.h"

VideoFrame::VideoFrame(std::shared_ptr<const Storage> storage, Format format, QSize size, std::array<Plane, 3> planes,
                       int planeCount, double time, QTransform orientation, std::uint64_t serial)
    : m_storage(std::move(storage)), m_format(format), m_size(size), m_planes(planes), m_planeCount(planeCount),
      m_time(time), m_orientation(orientation), m_serial(serial)
{
}

QImage VideoFrame::toImage(QSize) const
{
    return {};
}
