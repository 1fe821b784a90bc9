#pragma once

#include "flashbeeps.h"

#include <QMetaObject>
#include <memory>
#include <optional>
#include <vector>

class ScreenOutputWindow;

// The flashes of the flash-and-beep clip (MediaFixtures::flashBeepVideo) as an output window presented them, from
// the window's render thread: each swap's video frame with the host time the program made it due. A flash counts at
// the time the program scheduled the clip's whole second for, whatever the drawing took on a busy machine: a picture
// that software OpenGL draws late is the machine's, and the sound is judged against what the program itself meant.
class PresentedFlashes
{
  public:
    explicit PresentedFlashes(ScreenOutputWindow* window);
    ~PresentedFlashes();
    PresentedFlashes(const PresentedFlashes&) = delete;
    PresentedFlashes& operator=(const PresentedFlashes&) = delete;

    // One swap of a video frame of an item (a player's media), that fell due at a time (a frame shown at once, a
    // paused player's, has none).
    struct Swap
    {
        FlashBeeps::Time swappedAt;
        quint64 item = 0;
        double videoTime = 0;
        std::optional<FlashBeeps::Time> dueAt;
    };
    std::vector<Swap> swaps() const;
    // Where the clip's whole seconds (its flash onsets) fell due, from `from` to `until`, in the item presented last
    // (the cue on air; a cue taken just before may still begin): each from the frame presented nearest it, by its
    // media time from the whole second.
    std::vector<FlashBeeps::Time> onsets(FlashBeeps::Time from, FlashBeeps::Time until) const;
    // The longest a presented frame came after it fell due, in ms, between `from` and `until`: the drawing's lateness,
    // which is noted, not judged.
    double latestSwap(FlashBeeps::Time from, FlashBeeps::Time until) const;

  private:
    struct State;
    std::shared_ptr<State> m_state;
    QMetaObject::Connection m_connection;
};
