#include "xscreennumber.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QWindow>
#include <cstdlib>
#include <xcb/xcb.h>

// A native window made on the display names its root window, and the server lists the roots in screen order.
static std::optional<int> askServer(QScreen* screen)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    QWindow probe(screen);
    probe.create();
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, xcb_window_t(probe.winId())), nullptr);
    if (!tree)
        return std::nullopt;
    const xcb_window_t root = tree->root;
    std::free(tree);
    int number = 0;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
         xcb_screen_next(&it), ++number)
        if (it.data->root == root)
            return number;
    return std::nullopt;
}

std::optional<int> xScreenNumber(QScreen* screen)
{
    static QHash<QScreen*, std::optional<int>> known;
    if (!qGuiApp || !screen)
        return std::nullopt;
    const auto found = known.constFind(screen);
    if (found != known.constEnd())
        return *found;
    const std::optional<int> number = askServer(screen);
    known.insert(screen, number);
    QObject::connect(screen, &QObject::destroyed, qGuiApp, [screen] { known.remove(screen); });
    return number;
}
