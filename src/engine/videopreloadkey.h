#pragma once

#include "screenrole.h"

#include <QHashFunctions>
#include <QUrl>

// A video loaded ahead for one screen.
struct VideoPreloadKey
{
    ScreenRole screen;
    QUrl url;

    bool operator==(const VideoPreloadKey&) const = default;
};

inline size_t qHash(const VideoPreloadKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.screen.rawValue, key.url);
}
