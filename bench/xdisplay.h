#pragma once

// The X server as another program sees it: areas of the screen read back with GetImage, and keys typed through the
// XTEST extension, so that a key arrives at the console as a person's would.
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sys/uio.h>
#include <vector>

namespace XDisplay {

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

// The display of $DISPLAY; null when there is none.
inline Connection connect()
{
    Connection connection(xcb_connect(nullptr, nullptr), &xcb_disconnect);
    if (connection && xcb_connection_has_error(connection.get()))
        connection.reset();
    return connection;
}

template <typename Reply> using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> Owned<Reply> own(Reply* reply)
{
    return Owned<Reply>(reply, &std::free);
}

// A rectangle of a screen, in its root window's coordinates.
struct Area
{
    xcb_window_t root = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where a window lies on its screen.
inline std::optional<Area> areaOf(xcb_connection_t* c, xcb_window_t window)
{
    const auto geometry = own(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!geometry)
        return std::nullopt;
    const auto at =
        own(xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, geometry->root, 0, 0), nullptr));
    if (!at)
        return std::nullopt;
    return Area{geometry->root, at->dst_x, at->dst_y, geometry->width, geometry->height};
}

// Pixels as 0x00RRGGBB, row after row; empty when the area cannot be read. All requests go out before the first reply
// is read, so the server answers them back to back.
inline std::vector<std::vector<std::uint32_t>> grab(xcb_connection_t* c, const std::vector<Area>& areas)
{
    std::vector<xcb_get_image_cookie_t> cookies;
    for (const Area& area : areas)
        cookies.push_back(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, area.root, std::int16_t(area.x),
                                        std::int16_t(area.y), std::uint16_t(area.width), std::uint16_t(area.height),
                                        ~0u));
    std::vector<std::vector<std::uint32_t>> images;
    for (size_t i = 0; i < cookies.size(); ++i) {
        const auto reply = own(xcb_get_image_reply(c, cookies[i], nullptr));
        std::vector<std::uint32_t> pixels;
        const size_t count = size_t(areas[i].width) * size_t(areas[i].height);
        // 24-bit screens come back with 32 bits a pixel, blue in the lowest byte.
        if (reply && size_t(xcb_get_image_data_length(reply.get())) >= count * 4) {
            const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply.get()));
            pixels.reserve(count);
            for (size_t p = 0; p < count; ++p)
                pixels.push_back(data[p] & 0xffffff);
        }
        images.push_back(std::move(pixels));
    }
    return images;
}

inline std::optional<xcb_keycode_t> keycodeOf(xcb_connection_t* c, xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto map = own(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(count)), nullptr));
    if (!map || map->keysyms_per_keycode == 0)
        return std::nullopt;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
    for (int i = 0; i < length; ++i)
        if (symbols[i] == keysym)
            return xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
    return std::nullopt;
}

// XTEST's FakeInput request, written out: the extension's header is not among the packages the build needs.
inline void fakeKey(xcb_connection_t* c, xcb_keycode_t key, bool press)
{
    static xcb_extension_t xtest{"XTEST", 0};
    struct FakeInput
    {
        std::uint8_t major = 0;
        std::uint8_t minor = 0;
        std::uint16_t length = 0;
        std::uint8_t type = 0;
        std::uint8_t detail = 0;
        std::uint8_t pad0[2]{};
        std::uint32_t time = XCB_CURRENT_TIME;
        xcb_window_t root = XCB_NONE;
        std::uint8_t pad1[8]{};
        std::int16_t rootX = 0;
        std::int16_t rootY = 0;
        std::uint8_t pad2[7]{};
        std::uint8_t device = 0;
    } request;
    static_assert(sizeof(FakeInput) == 36);
    request.type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    request.detail = key;
    const xcb_protocol_request_t kind{2, &xtest, 2 /* FakeInput */, 1};
    // xcb_send_request writes its own header into the two slots before the ones it is given.
    iovec parts[4]{};
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    xcb_send_request(c, 0, parts + 2, &kind);
}

// Ctrl+Return, pressed and released, sent to the server at once.
inline bool typeControlReturn(xcb_connection_t* c)
{
    static const std::optional<xcb_keycode_t> control = keycodeOf(c, 0xffe3);
    static const std::optional<xcb_keycode_t> enter = keycodeOf(c, 0xff0d);
    if (!control || !enter)
        return false;
    fakeKey(c, *control, true);
    fakeKey(c, *enter, true);
    fakeKey(c, *enter, false);
    fakeKey(c, *control, false);
    xcb_flush(c);
    return true;
}

} // namespace XDisplay
