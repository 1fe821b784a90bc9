#include "remoterequest.h"

#include "remotejson.h"

using namespace Qt::StringLiterals;

template <typename Visit, typename Request>
requires std::same_as<std::remove_const_t<Request>, RemoteRequest>
void jsonFields(Visit& visit, Request& request)
{
    visit("code"_L1, request.code);
    visit("action"_L1, request.action);
    visit("cue"_L1, request.cue);
    visit("value"_L1, request.value);
    visit("deviceName"_L1, request.deviceName);
    visit("playbackMode"_L1, request.playbackMode);
}

std::optional<RemoteRequest> RemoteRequest::decode(const QByteArray& bytes)
{
    return RemoteJson::decode<RemoteRequest>(bytes);
}

QByteArray RemoteRequest::encode() const
{
    return RemoteJson::encode(*this);
}
