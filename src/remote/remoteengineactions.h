#pragma once

#include "remoterequest.h"
#include "remotestatus.h"

#include <QString>
#include <optional>

class Engine;

// Runs one authorised action with the engine calls the console's buttons make. Returns the error text for the
// reply when the action was refused or the engine did nothing.
std::optional<QString> runRemoteAction(Engine& engine, const RemoteRequest& request);

// The engine's published state as a phone sees it.
RemoteStatus remoteStatus(const Engine& engine);
