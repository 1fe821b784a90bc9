#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSet>
#include <QString>
#include <cstring>
#include <xcb/xcb.h>

constexpr xcb_keysym_t kReturn = 0xff0d;
constexpr xcb_keysym_t kEscape = 0xff1b;

// The X side of the panel program, as the display sees it: its viewable windows (found by the process id each
// carries), their titles and the windows they stay in front of, and keys typed into them.
class PanelOnDisplay
{
  public:
    PanelOnDisplay() : m_connection(xcb_connect(nullptr, nullptr))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~PanelOnDisplay() { xcb_disconnect(m_connection); }

    // The viewable top-level windows of that process, lowest first.
    QList<xcb_window_t> windowsOf(qint64 pid)
    {
        const xcb_atom_t pidAtom = atom("_NET_WM_PID");
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
        if (!tree)
            return {};
        QList<xcb_window_t> found;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            const QByteArray owner = property(children[i], pidAtom, XCB_ATOM_CARDINAL);
            if (owner.size() != 4 || *reinterpret_cast<const quint32*>(owner.constData()) != quint32(pid))
                continue;
            xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr);
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                found.append(children[i]);
            free(attributes);
        }
        free(tree);
        return found;
    }
    // The first viewable top-level window of that process, or 0.
    xcb_window_t windowOf(qint64 pid) { return windowsOf(pid).value(0); }
    // The viewable top-level window of that process with that title, or 0.
    xcb_window_t windowTitled(qint64 pid, const QString& wanted)
    {
        for (const xcb_window_t window : windowsOf(pid))
            if (title(window) == wanted)
                return window;
        return 0;
    }
    QString title(xcb_window_t window)
    {
        return QString::fromUtf8(property(window, atom("_NET_WM_NAME"), atom("UTF8_STRING")));
    }
    // The window this one stays in front of (WM_TRANSIENT_FOR), or 0.
    xcb_window_t transientFor(xcb_window_t window)
    {
        const QByteArray value = property(window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW);
        return value.size() == 4 ? *reinterpret_cast<const xcb_window_t*>(value.constData()) : 0;
    }
    // Where the window lies on the screen.
    QRect geometry(xcb_window_t window)
    {
        xcb_get_geometry_reply_t* size =
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
        xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr);
        const QRect rect = size && place ? QRect(place->dst_x, place->dst_y, size->width, size->height) : QRect();
        free(size);
        free(place);
        return rect;
    }
    // Whether `above` is stacked over `below` among the root's children.
    bool stackedAbove(xcb_window_t above, xcb_window_t below)
    {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr);
        if (!tree)
            return false;
        int aboveAt = -1;
        int belowAt = -1;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            if (children[i] == above)
                aboveAt = i;
            if (children[i] == below)
                belowAt = i;
        }
        free(tree);
        return aboveAt >= 0 && belowAt >= 0 && aboveAt > belowAt;
    }
    // One press and release of the key with that key symbol, sent to the window as a keyboard would, with the
    // modifiers given (XCB_MOD_MASK_CONTROL...); Shift is added where the symbol needs it.
    void type(xcb_window_t window, xcb_keysym_t symbol, uint16_t modifiers = 0)
    {
        const auto [code, shifted] = keycode(symbol);
        for (const uint8_t kind : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
            xcb_key_press_event_t event{};
            event.response_type = kind;
            event.detail = code;
            event.time = XCB_CURRENT_TIME;
            event.root = m_root;
            event.event = window;
            event.state = uint16_t(modifiers | (shifted ? XCB_MOD_MASK_SHIFT : 0));
            event.same_screen = 1;
            xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(m_connection);
    }
    // Text of printable ASCII typed key by key.
    void typeText(xcb_window_t window, const QString& text)
    {
        for (const QChar c : text)
            type(window, xcb_keysym_t(c.unicode()));
    }
    // Gives the window the keyboard, as a click on it would, and waits until the display has done so.
    void focus(xcb_window_t window)
    {
        xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        xcb_get_input_focus_reply_t* reply =
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
        free(reply);
    }
    // Replaces what the focused field of the window holds with the text, and presses Return.
    void enter(xcb_window_t window, const QString& text)
    {
        focus(window);
        type(window, 'a', XCB_MOD_MASK_CONTROL);
        typeText(window, text);
        type(window, kReturn);
    }

  private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : XCB_ATOM_NONE;
        free(reply);
        return value;
    }
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, name, type, 0, 1024), nullptr);
        QByteArray value;
        if (reply)
            value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        free(reply);
        return value;
    }
    // The key that gives the symbol, and whether it takes Shift to.
    std::pair<xcb_keycode_t, bool> keycode(xcb_keysym_t symbol)
    {
        const xcb_setup_t* setup = xcb_get_setup(m_connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
            m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, uint8_t(count)), nullptr);
        std::pair<xcb_keycode_t, bool> found{0, false};
        if (map) {
            const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map);
            // The plain level of every key first, then the shifted one.
            for (int level = 0; level < 2 && !found.first; ++level)
                for (int key = 0; key < count && !found.first; ++key)
                    if (symbols[key * map->keysyms_per_keycode + level] == symbol)
                        found = {xcb_keycode_t(setup->min_keycode + key), level == 1};
        }
        free(map);
        return found;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
};

// Drawn by the program, text and all: many colours, not the blank of a window not yet painted.
inline bool paintedWithText(const QImage& shot)
{
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3)
            colours.insert(shot.pixel(x, y));
    return colours.size() > 20;
}

inline bool processGone(qint64 pid)
{
    return pid > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}
