#include "polygondistancefieldcache.h"

// Enough for every mask on show and a few edits back; a field of 512 × 512 samples takes 1 MB.
static constexpr size_t kKept = 16;

struct PolygonDistanceFieldCache::Entry
{
    QList<QPointF> points;
    PolygonDistanceField::Sampling sampling;
    Field field;
    // Dropped from the cache before its turn came: nobody waits for it any more.
    bool dropped = false;
};

PolygonDistanceFieldCache& PolygonDistanceFieldCache::shared()
{
    static PolygonDistanceFieldCache cache;
    return cache;
}

PolygonDistanceFieldCache::PolygonDistanceFieldCache(QObject* parent) : QObject(parent)
{
    // Two at once: a mask dragged in the editor while another is being opened, without taking the machine.
    m_pool.setMaxThreadCount(2);
}

PolygonDistanceFieldCache::~PolygonDistanceFieldCache()
{
    m_pool.clear();
    m_pool.waitForDone();
}

PolygonDistanceFieldCache::Field PolygonDistanceFieldCache::field(const std::optional<QList<QPointF>>& points,
                                                                  const PolygonDistanceField::Sampling& sampling)
{
    static const Field noPolygon = std::make_shared<const PolygonDistanceField>();
    if (!points || points->size() < 3)
        return noPolygon;
    std::unique_lock lock(m_lock);
    for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry)
        // The samplings first: two views of one mask ask with different ones, and their points compare slowly.
        if ((*entry)->sampling == sampling && (*entry)->points == *points) {
            m_entries.splice(m_entries.begin(), m_entries, entry);
            return m_entries.front()->field;
        }
    auto entry = std::make_shared<Entry>(Entry{*points, sampling, nullptr});
    m_entries.push_front(entry);
    while (m_entries.size() > kKept) {
        m_entries.back()->dropped = true;
        m_entries.pop_back();
    }
    lock.unlock();
    m_pool.start([this, entry] { make(entry); });
    return nullptr;
}

void PolygonDistanceFieldCache::make(const std::shared_ptr<Entry>& entry)
{
    {
        std::unique_lock lock(m_lock);
        if (entry->dropped) {
            // Whoever still wants it asks again and finds it gone, so it is made anew.
            lock.unlock();
            emit ready();
            return;
        }
    }
    Field made =
        std::make_shared<const PolygonDistanceField>(PolygonDistanceField::make(entry->points, entry->sampling));
    {
        const std::lock_guard lock(m_lock);
        entry->field = std::move(made);
    }
    emit ready();
}
