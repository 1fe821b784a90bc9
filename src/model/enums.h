#pragma once

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <utility>

// Every enumeration of the document carries its Chinese display text, which is also its form in the project file.
enum class Bus { music, effects };
enum class EndBehavior { hold, loop, next };
enum class ProjectionMode { cueOnce, cueLoop, playlistOnce, playlistLoop };
enum class Track { main, side, music, effects, message };
enum class AssetKind { image, video, audio };
enum class Transport { udp, tcp, osc };

template <typename E> struct EnumTexts;

template <> struct EnumTexts<Bus>
{
    static constexpr std::array<std::pair<Bus, const char*>, 2> items{
        {{Bus::music, "背景音乐"}, {Bus::effects, "音效"}}};
};
template <> struct EnumTexts<EndBehavior>
{
    static constexpr std::array<std::pair<EndBehavior, const char*>, 3> items{
        {{EndBehavior::hold, "定格"}, {EndBehavior::loop, "循环"}, {EndBehavior::next, "自动 GO"}}};
};
template <> struct EnumTexts<ProjectionMode>
{
    static constexpr std::array<std::pair<ProjectionMode, const char*>, 4> items{
        {{ProjectionMode::cueOnce, "单个节目播放一次"},
         {ProjectionMode::cueLoop, "单个节目循环"},
         {ProjectionMode::playlistOnce, "节目单播放一次"},
         {ProjectionMode::playlistLoop, "节目单循环"}}};
};
template <> struct EnumTexts<Track>
{
    static constexpr std::array<std::pair<Track, const char*>, 5> items{{{Track::main, "主屏"},
                                                                         {Track::side, "副屏"},
                                                                         {Track::music, "背景音乐"},
                                                                         {Track::effects, "音效"},
                                                                         {Track::message, "通讯"}}};
};
template <> struct EnumTexts<AssetKind>
{
    static constexpr std::array<std::pair<AssetKind, const char*>, 3> items{
        {{AssetKind::image, "图片"}, {AssetKind::video, "视频"}, {AssetKind::audio, "音频"}}};
};
template <> struct EnumTexts<Transport>
{
    static constexpr std::array<std::pair<Transport, const char*>, 3> items{
        {{Transport::udp, "UDP"}, {Transport::tcp, "TCP"}, {Transport::osc, "OSC / UDP"}}};
};

// The texts as QStrings, made once: the project file reader and writer ask for them many thousand times.
template <typename E> const auto& enumTexts()
{
    static const auto texts = [] {
        std::array<std::pair<E, QString>, EnumTexts<E>::items.size()> made;
        for (size_t i = 0; i < made.size(); ++i)
            made[i] = {EnumTexts<E>::items[i].first, QString::fromUtf8(EnumTexts<E>::items[i].second)};
        return made;
    }();
    return texts;
}

template <typename E> QString rawValue(E value)
{
    for (const auto& [item, text] : enumTexts<E>())
        if (item == value)
            return text;
    return {};
}

// Exactly one of the raw texts makes a case: no trimming, no case folding.
template <typename E> std::optional<E> fromRawValue(const QString& text)
{
    for (const auto& [item, raw] : enumTexts<E>())
        if (text == raw)
            return item;
    return std::nullopt;
}

template <typename E> QList<E> allCases()
{
    QList<E> cases;
    for (const auto& [item, text] : EnumTexts<E>::items)
        cases.append(item);
    return cases;
}

inline bool usesPlaylist(ProjectionMode mode)
{
    return mode == ProjectionMode::playlistOnce || mode == ProjectionMode::playlistLoop;
}
inline bool repeats(ProjectionMode mode)
{
    return mode == ProjectionMode::cueLoop || mode == ProjectionMode::playlistLoop;
}
inline bool isScreen(Track track)
{
    return track == Track::main || track == Track::side;
}
