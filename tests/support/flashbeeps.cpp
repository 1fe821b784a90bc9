#include "flashbeeps.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <xcb/xcb.h>

namespace FlashBeeps {

struct FlashWatch::State
{
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    int x = 0;
    int y = 0;
    std::atomic<bool> running{true};
    std::thread reader;
    mutable std::mutex lock;
    std::vector<Time> onsets;
};

namespace {

constexpr int kSide = 16;

// Most of the area is white (the clip's flashes are white on black).
std::optional<bool> readWhite(xcb_connection_t* c, xcb_window_t root, int x, int y)
{
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, std::int16_t(x), std::int16_t(y), kSide, kSide, ~0u),
        nullptr);
    if (!reply)
        return std::nullopt;
    std::optional<bool> white;
    if (xcb_get_image_data_length(reply) >= kSide * kSide * 4) {
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply));
        int bright = 0;
        for (int i = 0; i < kSide * kSide; ++i)
            bright += ((pixels[i] >> 8) & 255) > 128 ? 1 : 0;
        white = bright * 2 > kSide * kSide;
    }
    std::free(reply);
    return white;
}

} // namespace

std::unique_ptr<FlashWatch> FlashWatch::start(unsigned long window)
{
    auto state = std::make_shared<State>();
    state->connection = xcb_connect(nullptr, nullptr);
    if (!state->connection || xcb_connection_has_error(state->connection)) {
        if (state->connection)
            xcb_disconnect(state->connection);
        return nullptr;
    }
    xcb_connection_t* c = state->connection;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_window_t(window)), nullptr);
    xcb_translate_coordinates_reply_t* at =
        geometry ? xcb_translate_coordinates_reply(
                       c, xcb_translate_coordinates(c, xcb_window_t(window), geometry->root, 0, 0), nullptr)
                 : nullptr;
    if (at) {
        state->root = geometry->root;
        state->x = at->dst_x + geometry->width / 2 - kSide / 2;
        state->y = at->dst_y + geometry->height / 2 - kSide / 2;
    }
    std::free(geometry);
    std::free(at);
    if (!state->root) {
        xcb_disconnect(c);
        return nullptr;
    }
    state->reader = std::thread([state] {
        bool white = true;
        while (state->running) {
            const Time asked = std::chrono::steady_clock::now();
            const std::optional<bool> now = readWhite(state->connection, state->root, state->x, state->y);
            if (now && *now && !white) {
                std::scoped_lock hold(state->lock);
                state->onsets.push_back(asked);
            }
            if (now)
                white = *now;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    std::unique_ptr<FlashWatch> watch(new FlashWatch);
    watch->m_state = state;
    return watch;
}

FlashWatch::~FlashWatch()
{
    stop();
    xcb_disconnect(m_state->connection);
}

std::vector<Time> FlashWatch::onsets() const
{
    std::scoped_lock hold(m_state->lock);
    return m_state->onsets;
}

std::vector<Time> FlashWatch::stop()
{
    m_state->running = false;
    if (m_state->reader.joinable())
        m_state->reader.join();
    return onsets();
}

std::vector<Time> beepOnsets(const std::vector<qint16>& samples, const std::function<Time(std::size_t)>& playedAt,
                             int rate)
{
    std::vector<Time> onsets;
    int quiet = rate;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) <= 2000) {
            ++quiet;
            continue;
        }
        if (quiet > rate / 5)
            onsets.push_back(playedAt(i));
        quiet = 0;
    }
    return onsets;
}

Start compare(const std::vector<Time>& flashes, const std::vector<Time>& beeps)
{
    using namespace std::chrono_literals;
    const auto ms = [](std::chrono::steady_clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    Start start;
    if (flashes.empty())
        return start;
    for (const Time flash : flashes) {
        std::optional<double> nearest;
        for (const Time beep : beeps)
            if (!nearest || std::abs(ms(beep - flash)) < std::abs(*nearest))
                nearest = ms(beep - flash);
        start.offsets.push_back(nearest && std::abs(*nearest) < 500 ? nearest : std::nullopt);
    }
    std::optional<Time> previous;
    for (const Time beep : beeps) {
        if (beep < flashes.front() - 100ms || beep > flashes.back() + 500ms)
            continue;
        ++start.beeps;
        if (previous)
            start.beepIntervals.push_back(ms(beep - *previous));
        previous = beep;
    }
    return start;
}

} // namespace FlashBeeps
