#include "remotehost.h"

#include "engine.h"

RemoteHost::RemoteHost(Engine* engine, QObject* parent) : QObject(parent), owner(engine) {}
