#include "remoteengineactions.h"

#include "engine.h"

static std::optional<QString> play(Engine& engine, const RemoteRequest& request)
{
    const QList<Cue>& cues = engine.show().cues;
    const auto cue = std::find_if(cues.cbegin(), cues.cend(), [&](const Cue& cue) { return cue.id == request.cue; });
    if (!request.cue || cue == cues.cend() || engine.projectionMode())
        return QStringLiteral("节目不存在或正在自动投放");
    // The status line that comes with the reply says why (missing media, for one).
    if (!engine.take(*cue, false, request.playbackMode))
        return QStringLiteral("节目无法播放");
    return std::nullopt;
}

static std::optional<QString> go(Engine& engine, const RemoteRequest& request)
{
    if (engine.projectionMode())
        return QStringLiteral("正在自动投放");
    // Refused while a countdown waits, at the end of the list, or when the next cue cannot play.
    if (!engine.go(request.playbackMode))
        return QStringLiteral("GO 未执行");
    return std::nullopt;
}

std::optional<QString> runRemoteAction(Engine& engine, const RemoteRequest& request)
{
    switch (request.action) {
    case RemoteAction::play:
        return play(engine, request);
    case RemoteAction::go:
        return go(engine, request);
    case RemoteAction::pause:
        if (!engine.paused())
            engine.togglePause();
        break;
    case RemoteAction::resume:
        if (engine.paused())
            engine.togglePause();
        break;
    case RemoteAction::stop:
        engine.stop(true);
        break;
    case RemoteAction::blackout:
        if (request.value)
            engine.setVideoBlack(*request.value);
        break;
    case RemoteAction::mute:
        if (request.value)
            engine.setMuted(*request.value);
        break;
    case RemoteAction::status:
    case RemoteAction::pair:
    case RemoteAction::pairingStatus:
        break;
    }
    return std::nullopt;
}

RemoteStatus remoteStatus(const Engine& engine)
{
    RemoteStatus status;
    for (const Cue& cue : engine.show().cues)
        status.cues.append({cue.id, cue.name});
    if (engine.current())
        status.current = engine.current()->id;
    if (const std::optional<Cue> next = engine.next())
        status.next = next->id;
    status.paused = engine.paused();
    status.blackout = engine.videoBlack();
    status.muted = engine.muted();
    status.projecting = engine.projectionMode().has_value();
    status.message = engine.message();
    return status;
}
