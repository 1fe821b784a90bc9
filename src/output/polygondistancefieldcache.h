#pragma once

#include "polygondistancefield.h"

#include <QObject>
#include <QThreadPool>
#include <list>
#include <memory>
#include <mutex>

// Distance fields of polygon masks, made on pool threads and kept for the masks last asked for: a mask of a million
// points never holds up the thread that draws or edits, and the views of one mask (a screen's monitor, the mapping
// editor, the output window) share one field. Any thread may ask.
class PolygonDistanceFieldCache : public QObject
{
    Q_OBJECT
  public:
    using Field = std::shared_ptr<const PolygonDistanceField>;

    // The one every view asks, so that they share their fields.
    static PolygonDistanceFieldCache& shared();

    explicit PolygonDistanceFieldCache(QObject* parent = nullptr);
    ~PolygonDistanceFieldCache() override;

    // The field at once when there is no polygon or when it is made already; otherwise none, and ready() follows
    // once it is made.
    Field field(const std::optional<QList<QPointF>>& points, const PolygonDistanceField::Sampling& sampling);

  signals:
    // A field asked for is made; whoever waits asks again. Sent from a pool thread.
    void ready();

  private:
    struct Entry;
    void make(const std::shared_ptr<Entry>& entry);

    std::mutex m_lock;
    // Most recently asked first.
    std::list<std::shared_ptr<Entry>> m_entries;
    // Last, so that it is destroyed first: that waits for the fields being made.
    QThreadPool m_pool;
};
