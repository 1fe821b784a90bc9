#include "independentscreens.h"

#include "cueforscreen.h"
#include "edithistory.h"
#include "engine.h"
#include "mediafiles.h"
#include "picture.h"
#include "runningtimeline.h"
#include "transportwait.h"

#include <cmath>

static QString checkingText(const QString& name)
{
    return QStringLiteral("正在检查素材 · ") + name;
}

IndependentScreens::IndependentScreens(Engine& main) : QObject(&main), m_main(main)
{
    connect(&m_main.mediaFiles(), &MediaFiles::answered, this, &IndependentScreens::playAnswered);
    connect(&m_main.mediaFiles(), &MediaFiles::questionsAnswered, this, &IndependentScreens::playAnswered);
}

IndependentScreens::~IndependentScreens() = default;

bool IndependentScreens::play(const Cue& cue, const QSet<ScreenRole>& screens)
{
    if (screens.isEmpty())
        return false;
    // In its turn among the presses on screens.
    if (m_main.m_transportWait->waiting() || m_main.transportBehindEdits()) {
        m_main.behindTransport([this, cue, screens] { play(cue, screens); });
        return true;
    }
    m_main.setProjectionTestPattern(false);
    const QList<MediaAsset> assets = m_main.show().assets.value_or(QList<MediaAsset>{});
    WaitingPlay play{cue, assets, screens, CheckAnswers(m_main.mediaFiles(), {cue}, assets), {}};
    play.answers.whenReady(this, [this] { playAnswered(); });
    if (m_waiting.isEmpty() && play.answers.in(m_main.mediaFiles()))
        return playNow(play);
    // What it says when its answers come, it says as its press.
    play.number = m_main.m_actingPress ? *m_main.m_actingPress : ++m_main.m_presses;
    m_waiting.append(std::move(play));
    m_main.setMessage(checkingText(cue.name));
    return true;
}

bool IndependentScreens::playNow(const WaitingPlay& play)
{
    bool started = false;
    for (const ScreenRole& role : inShowOrder(play.screens)) {
        if (!install(play.cue, role, play.assets, 0, false))
            continue;
        started = true;
        if (const auto paused = play.paused.constFind(role); paused != play.paused.cend()) {
            if (*paused)
                pauseNow({role});
            else
                resumeNow({role});
        }
    }
    return started;
}

void IndependentScreens::playAnswered()
{
    while (!m_waiting.isEmpty() && m_waiting.first().answers.in(m_main.mediaFiles())) {
        const WaitingPlay play = m_waiting.takeFirst();
        const std::optional<quint64> before = m_main.actAs(play.number);
        playNow(play);
        m_main.actAs(before);
    }
}

// The newest play on its way to each screen takes the pause or resume, after it starts there.
void IndependentScreens::holdPause(const QSet<ScreenRole>& screens, bool paused)
{
    for (const ScreenRole& role : screens)
        for (auto play = m_waiting.rbegin(); play != m_waiting.rend(); ++play)
            if (play->screens.contains(role)) {
                play->paused.insert(role, paused);
                break;
            }
}

std::optional<QString> IndependentScreens::waitingPlay() const
{
    return m_waiting.isEmpty() ? std::nullopt : std::optional(m_waiting.last().cue.name);
}

// A play dropped so no longer waits: the status line stops telling of it.
void IndependentScreens::dropWaitingPlays(const QSet<ScreenRole>& screens)
{
    QStringList dropped;
    for (WaitingPlay& play : m_waiting) {
        play.screens -= screens;
        for (const ScreenRole& role : screens)
            play.paused.remove(role);
        if (play.screens.isEmpty())
            dropped.append(play.cue.name);
    }
    m_waiting.removeIf([](const WaitingPlay& play) { return play.screens.isEmpty(); });
    for (const QString& name : std::as_const(dropped))
        m_main.waitEnded(checkingText(name));
}

// Each press on screens takes its turn behind what the transport was asked before it and still waits for its
// answers: it acts on what that puts on air, or on the run it starts.
void IndependentScreens::pause(const QSet<ScreenRole>& screens)
{
    m_main.behindTransport([this, screens] {
        holdPause(screens, true);
        pauseNow(screens);
    });
}

void IndependentScreens::resume(const QSet<ScreenRole>& screens)
{
    m_main.behindTransport([this, screens] {
        holdPause(screens, false);
        resumeNow(screens);
    });
}

void IndependentScreens::pauseNow(const QSet<ScreenRole>& screens)
{
    for (const ScreenRole& role : inShowOrder(screens)) {
        if (Engine* session = engine(role)) {
            if (!session->paused())
                session->togglePause();
            continue;
        }
        if (!m_main.current())
            continue;
        const QList<MediaAsset> assets =
            m_main.projectionMode() ? m_main.m_run.assets() : m_main.m_timeline->assets().values();
        install(*m_main.current(), role, assets, programmePosition(role), true);
    }
}

void IndependentScreens::resumeNow(const QSet<ScreenRole>& screens)
{
    for (const ScreenRole& role : screens)
        if (Engine* session = engine(role); session && session->paused())
            session->togglePause();
}

void IndependentScreens::stop(const QSet<ScreenRole>& screens)
{
    m_main.behindTransport([this, screens] { stopNow(screens); });
}

void IndependentScreens::stopNow(const QSet<ScreenRole>& screens)
{
    dropWaitingPlays(screens);
    for (const ScreenRole& role : inShowOrder(screens)) {
        Engine* session = engine(role);
        if (!session)
            session = makeSession(role);
        session->stop(true);
        route(role, session);
    }
}

void IndependentScreens::returnToProjection(const QSet<ScreenRole>& screens)
{
    m_main.behindTransport([this, screens] { returnNow(screens); });
}

void IndependentScreens::returnNow(const QSet<ScreenRole>& screens)
{
    dropWaitingPlays(screens);
    bool returned = false;
    for (const ScreenRole& role : screens) {
        if (Engine* session = m_screens.take(role)) {
            discard(session);
            returned = true;
        }
        if (Picture* program = m_main.program(role))
            program->setIndependentOutput(nullptr);
    }
    m_main.updateVolumes();
    if (returned)
        emit changed();
}

void IndependentScreens::returnAll()
{
    m_waiting.clear();
    const QList<ScreenRole> roles = m_screens.keys();
    returnNow(QSet<ScreenRole>(roles.cbegin(), roles.cend()));
}

void IndependentScreens::drop(const ScreenRole& role)
{
    dropWaitingPlays({role});
    if (Engine* session = m_screens.take(role)) {
        discard(session);
        emit changed();
    }
}

bool IndependentScreens::install(const Cue& cue, const ScreenRole& role, const QList<MediaAsset>& assets,
                                 double position, bool paused)
{
    const Cue copy = cueForScreen(cue, role, paused ? std::optional(position) : std::nullopt);
    Engine* session = makeSession(role);
    Show show = session->show();
    show.assets = assets;
    show.cues = {copy};
    session->setShow(std::move(show));
    if (!session->canPlay(copy, assets)) {
        const QString prefix = role.rawValue + QStringLiteral(" · ");
        m_main.setMessage(prefix + session->message());
        // The main engine takes the line back once the silent folder answers again.
        if (session->m_silentRefusal)
            m_main.m_silentRefusal = Engine::SilentRefusal{m_main.message(), copy, assets, prefix};
        discard(session);
        return false;
    }
    session->start(copy, position, paused, std::nullopt);
    route(role, session);
    m_main.setMessage(role.rawValue + (paused ? QStringLiteral(" · 已暂停") : QStringLiteral(" · 独立播放")));
    return true;
}

// Screen engines open no windows, have no remote and share the main engine's clock, players and mixer.
Engine* IndependentScreens::makeSession(const ScreenRole& role)
{
    Engine::Services services = m_main.m_services;
    services.windows = nullptr;
    services.makeRemoteHost = nullptr;
    auto* session = new Engine(false, m_main.audioMixer(), m_main.m_history->recoveryDirectory(), services, this);
    Show show = session->show();
    show.outputScreens = QList<ScreenRole>{role};
    show.defaultPicture = m_main.show().defaultPicture;
    session->setShow(std::move(show));
    // Its first screen was made before its show named the default picture: it takes the image the main engine
    // shows there already.
    if (const Picture* programme = m_main.program(role))
        session->program(role)->setFallback(programme->fallback());
    session->setMuted(m_main.muted());
    connect(session, &Engine::pausedChanged, this, &IndependentScreens::changed);
    return session;
}

void IndependentScreens::route(const ScreenRole& role, Engine* session)
{
    Engine* previous = m_screens.value(role);
    m_screens.insert(role, session);
    if (previous && previous != session)
        discard(previous);
    if (Picture* program = m_main.program(role))
        program->setIndependentOutput(session->program(role));
    m_main.updateVolumes();
    emit changed();
}

void IndependentScreens::discard(Engine* session)
{
    disconnect(session, nullptr, this, nullptr);
    session->stop(true);
    session->deleteLater();
}

double IndependentScreens::programmePosition(const ScreenRole& role) const
{
    double position = 0;
    if (m_main.current()->isTimelineCue()) {
        position = m_main.timelinePosition();
    } else if (const Picture* program = m_main.program(role)) {
        const Picture* shown = program->foreground() ? program->foreground() : program;
        position = shown->player()->currentTime();
    }
    return std::isfinite(position) && position > 0 ? position : 0;
}

QList<ScreenRole> IndependentScreens::inShowOrder(const QSet<ScreenRole>& screens) const
{
    QList<ScreenRole> ordered;
    for (const ScreenRole& role : m_main.showScreens())
        if (screens.contains(role))
            ordered.append(role);
    return ordered;
}
