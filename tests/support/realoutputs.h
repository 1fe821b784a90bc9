#pragma once

#include "engine.h"
#include "fakeplayer.h"
#include "screendisplayprovider.h"
#include "screenoutputwindows.h"

// An engine's outside world with the X server's real displays and real output windows on them; players are fakes,
// so pictures are set by the caller. For programs that link the output library.
inline Engine::Services realOutputServices()
{
    Engine::Services services;
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>();
    services.players = fakePlayers();
    return services;
}
