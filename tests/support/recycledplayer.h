#pragma once

#include <QList>
#include <cstddef>
#include <new>

// A player made in the place of one released before, as the allocator often puts it: whatever knows a player by its
// address takes the new one for the released one. A released place comes round again one player late, as when
// something else of that size takes it and gives it back in between.
template <typename Kind> class RecycledPlayer : public Kind
{
  public:
    using Kind::Kind;

    static void* operator new(std::size_t size)
    {
        Places& kept = places();
        void* place = kept.free.empty() ? ::operator new(size) : kept.free.takeFirst();
        kept.free += kept.released;
        kept.released.clear();
        return place;
    }
    static void operator delete(void* place) { places().released.append(place); }
    // Forgets the places of the players released so far.
    static void startAfresh()
    {
        Places& kept = places();
        for (void* place : kept.free + kept.released)
            ::operator delete(place);
        kept.free.clear();
        kept.released.clear();
    }

  private:
    struct Places
    {
        QList<void*> free;
        QList<void*> released;
    };
    static Places& places()
    {
        static Places kept;
        return kept;
    }
};
