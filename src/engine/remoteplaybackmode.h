#pragma once

// How a playback started from a phone ends: once, or again from the start.
enum class RemotePlaybackMode { once, loop };
