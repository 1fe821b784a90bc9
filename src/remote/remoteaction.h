#pragma once

#include "enums.h"
#include "remoteplaybackmode.h"

// What a phone asks for; on the wire each case is its own name.
enum class RemoteAction { pair, pairingStatus, status, play, go, pause, resume, stop, blackout, mute };

template <> struct EnumTexts<RemoteAction>
{
    static constexpr std::array<std::pair<RemoteAction, const char*>, 10> items{
        {{RemoteAction::pair, "pair"},
         {RemoteAction::pairingStatus, "pairingStatus"},
         {RemoteAction::status, "status"},
         {RemoteAction::play, "play"},
         {RemoteAction::go, "go"},
         {RemoteAction::pause, "pause"},
         {RemoteAction::resume, "resume"},
         {RemoteAction::stop, "stop"},
         {RemoteAction::blackout, "blackout"},
         {RemoteAction::mute, "mute"}}};
};

template <> struct EnumTexts<RemotePlaybackMode>
{
    static constexpr std::array<std::pair<RemotePlaybackMode, const char*>, 2> items{
        {{RemotePlaybackMode::once, "once"}, {RemotePlaybackMode::loop, "loop"}}};
};
