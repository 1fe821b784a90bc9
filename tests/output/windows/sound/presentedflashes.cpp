#include "presentedflashes.h"

#include "screenoutputwindow.h"

#include <algorithm>
#include <cmath>
#include <mutex>

struct PresentedFlashes::State
{
    mutable std::mutex lock;
    std::vector<Swap> swaps;
};

namespace {

// The frames taken to place a whole second of the clip: those this near it, so that a second is placed even where a
// busy machine drew none of the flash's own frames, and a pause in the middle of a second places nothing.
constexpr double kNearSecond = 0.4;
// Frames telling times closer than this tell the same second.
constexpr auto kOneFlash = std::chrono::milliseconds(300);

} // namespace

PresentedFlashes::PresentedFlashes(ScreenOutputWindow* window) : m_state(std::make_shared<State>())
{
    // On the render thread, as each frame is swapped.
    m_connection = QObject::connect(
        window, &ScreenOutputWindow::frameSwapped, window,
        [state = m_state](double videoTime, qint64 dueNs, quint64 item) {
            if (videoTime < 0)
                return;
            Swap swap{std::chrono::steady_clock::now(), item, videoTime, std::nullopt};
            if (dueNs >= 0)
                swap.dueAt = FlashBeeps::Time(
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::nanoseconds(dueNs)));
            std::scoped_lock hold(state->lock);
            state->swaps.push_back(swap);
        },
        Qt::DirectConnection);
}

PresentedFlashes::~PresentedFlashes()
{
    QObject::disconnect(m_connection);
}

std::vector<PresentedFlashes::Swap> PresentedFlashes::swaps() const
{
    std::scoped_lock hold(m_state->lock);
    return m_state->swaps;
}

std::vector<FlashBeeps::Time> PresentedFlashes::onsets(FlashBeeps::Time from, FlashBeeps::Time until) const
{
    // Each frame near a whole second tells where that second fell due; frames of one second (of one item, between
    // pauses) tell the same time, a second from the next one's.
    struct Told
    {
        FlashBeeps::Time onset;
        double intoSecond = 0;
    };
    std::vector<Told> told;
    const std::vector<Swap> all = swaps();
    for (const Swap& swap : all) {
        const double intoSecond = swap.videoTime - std::round(swap.videoTime);
        if (swap.item != all.back().item || !swap.dueAt || std::abs(intoSecond) >= kNearSecond)
            continue;
        told.push_back({*swap.dueAt - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                          std::chrono::duration<double>(intoSecond)),
                        std::abs(intoSecond)});
    }
    std::sort(told.begin(), told.end(), [](const Told& a, const Told& b) { return a.onset < b.onset; });
    std::vector<FlashBeeps::Time> onsets;
    for (std::size_t i = 0; i < told.size();) {
        // The frame nearest the whole second places it best.
        Told best = told[i];
        std::size_t next = i + 1;
        for (; next < told.size() && told[next].onset - told[i].onset < kOneFlash; ++next)
            if (told[next].intoSecond < best.intoSecond)
                best = told[next];
        if (best.onset >= from && best.onset <= until)
            onsets.push_back(best.onset);
        i = next;
    }
    return onsets;
}

double PresentedFlashes::latestSwap(FlashBeeps::Time from, FlashBeeps::Time until) const
{
    double latest = 0;
    for (const Swap& swap : swaps())
        if (swap.dueAt && swap.swappedAt >= from && swap.swappedAt <= until)
            latest = std::max(latest, std::chrono::duration<double, std::milli>(swap.swappedAt - *swap.dueAt).count());
    return latest;
}
