#include "engine.h"

#include "assign.h"
#include "commonstart.h"
#include "cuecycle.h"
#include "directfile.h"
#include "picture.h"
#include "runningtimeline.h"
#include "soundoutput.h"
#include "stalledstarts.h"
#include "stilldecoder.h"

#include <QScopedValueRollback>

static bool isMovie(const std::optional<QUrl>& url)
{
    return url && assetKind(*url) == AssetKind::video;
}

// Starts the decode of a still that is not at hand, as for the stills that come next; true while it runs.
static bool awaitsStillDecode(const std::optional<QUrl>& url)
{
    if (!url || !url->isLocalFile() || assetKind(*url) != AssetKind::image)
        return false;
    StillDecoder& decoder = StillDecoder::shared();
    decoder.prepare(url->toLocalFile());
    return decoder.isDecoding(url->toLocalFile());
}

void Engine::start(const Cue& cue, double position, bool startPaused, std::optional<RemotePlaybackMode> remoteMode)
{
    m_cueCycle->markStart();
    m_remotePlaybackMode = remoteMode;
    m_remotePlaybackItems.clear();
    m_remotePlaybackFailed = false;
    QSet<ScreenRole> preserving;
    QSet<ScreenRole> awaiting;
    for (const ScreenRole& role : screensWithPictures()) {
        if (startsWithVideo(cue, role))
            preserving.insert(role);
        else if (!cue.isTimelineCue() && awaitsStillDecode(directFile(cue, role)))
            awaiting.insert(role);
    }
    resetTimeline(preserving + awaiting);
    m_heldScreens = preserving;
    clearObservers();
    setCurrent(cue);
    selectStarted(cue.id);
    if (cue.isTimelineCue()) {
        m_timeline->setPosition(position);
        startTimeline(*cue.timeline, cue, startPaused || position > 0);
        if (startPaused)
            togglePause();
    } else {
        startDirectCue(cue, position, startPaused, remoteMode);
    }
    if (meansToBeHeard(cue) && SoundOutput::shared().fellBackToSilence())
        noteSilentSound();
}

void Engine::startDirectCue(const Cue& cue, double position, bool startPaused,
                            std::optional<RemotePlaybackMode> remoteMode)
{
    // A screen waiting to leave the show shows nothing of the previous cue under this one.
    const QList<ScreenRole> screens = screensWithPictures();
    for (const ScreenRole& role : screens)
        placeDirectPicture(cue, role);
    refreshVideoPreloads();
    for (Bus bus : allCases<Bus>()) {
        Player* player = m_audio[size_t(bus)];
        if (bus == cue.audioBus && cue.audio) {
            player->load(*cue.audio);
            player->setAudioMixer(m_audioMixer);
        } else {
            player->clear();
        }
    }
    updateVolumes();

    QList<Player*> players;
    for (const ScreenRole& role : screens)
        if (const Picture* program = m_program.value(role); program && !m_awaitedStills.contains(role))
            players.append(program->foreground() ? program->foreground()->player() : program->player());
    players.append(m_audio[size_t(Bus::music)]);
    players.append(m_audio[size_t(Bus::effects)]);
    players.removeIf([](const Player* player) { return !player->hasItem(); });

    if (remoteMode)
        m_remotePlaybackItems = QSet<const Player*>(players.cbegin(), players.cend());
    if (m_projectionMode) {
        m_legacyProjectionItems = QSet<const Player*>(players.cbegin(), players.cend());
        if (players.isEmpty())
            queueProjectionAdvance();
    }

    if (startPaused)
        for (Player* player : players)
            player->seek(position, SeekMode::exact);
    else
        m_commonStart->start(players, position);
    for (Player* player : players)
        observeItem(
            player, [=, this](Player* ended) { directPlayerEnded(ended, cue, remoteMode, players); },
            [=, this](Player* failed) { directPlayerFailed(failed, cue, remoteMode); });

    QString text = QStringLiteral("播出中 · ") + cue.name;
    if (players.isEmpty() && cue.ending == EndBehavior::next)
        text += QStringLiteral("（无时长素材，请手动 GO）");
    setMessage(text);
    watchDirectStart(cue, players, text);
    reportFailedStills(cue);
    applyLighting(cue.lighting);
    if (startPaused)
        setPaused(true);
}

// A cue whose media has not loaded a second after its start because its folder stopped answering is named.
void Engine::watchDirectStart(const Cue& cue, const QList<Player*>& players, const QString& onAir)
{
    for (Player* player : players)
        m_stalledStarts->watch(player, cue.name, onAir);
    for (auto awaited = m_awaitedStills.cbegin(); awaited != m_awaitedStills.cend(); ++awaited)
        m_stalledStarts->watch(
            this,
            [this, role = awaited.key(), still = awaited.value()] { return m_awaitedStills.value(role) == still; },
            awaited.value(), cue.name, onAir);
}

// A video goes up as the screen's foreground, taken over from its preload when there is one; anything else is
// the program picture's own content. A still still decoding leaves the picture before it up until it is ready.
void Engine::placeDirectPicture(const Cue& cue, const ScreenRole& role)
{
    const std::optional<QUrl> url = directFile(cue, role);
    Picture* program = m_program.value(role);
    m_awaitedStills.remove(role);
    if (!isMovie(url)) {
        if (!program)
            return;
        if (awaitsStillDecode(url)) {
            program->player()->pause();
            m_awaitedStills.insert(role, *url);
            return;
        }
        clearForeground(role);
        program->load(url);
        return;
    }
    std::shared_ptr<Picture> video = takePreparedVideo(role, *url);
    if (!video)
        video = makeVideoPicture();
    if (!video->url())
        video->load(*url);
    if (!program)
        return;
    program->load(std::nullopt);
    setForeground(role, std::move(video));
}

void Engine::showAwaitedStill(const QString& path)
{
    for (auto awaited = m_awaitedStills.begin(); awaited != m_awaitedStills.end();) {
        if (awaited.value().toLocalFile() != path) {
            ++awaited;
            continue;
        }
        const ScreenRole role = awaited.key();
        const QUrl url = awaited.value();
        awaited = m_awaitedStills.erase(awaited);
        // The still is at hand now: it is up before the picture in front of it goes.
        if (Picture* program = m_program.value(role))
            program->load(url);
        clearForeground(role);
        if (m_current)
            reportFailedStills(*m_current);
    }
}

// A still of a direct cue that cannot be shown fails the cue as a video that cannot play does.
void Engine::reportFailedStills(const Cue& cue)
{
    for (auto program = m_program.cbegin(); program != m_program.cend(); ++program) {
        // A screen still awaiting its decode shows the picture of the cue before, failed or not.
        if (!program.value()->stillFailed() || m_awaitedStills.contains(program.key()))
            continue;
        setMessage(QStringLiteral("播放失败 · ") + cue.name);
        if (m_remotePlaybackMode)
            m_remotePlaybackFailed = true;
        return;
    }
}

// Reacts to this player's current item only: a later load or a stop makes its signals count for nothing.
void Engine::observeItem(Player* player, const std::function<void(Player*)>& ended,
                         const std::function<void(Player*)>& failed)
{
    const quint64 item = player->generation();
    const QPointer<Player> guarded(player);
    const auto whenObserved = [guarded, item](const std::function<void(Player*)>& handler) {
        return [guarded, item, handler] {
            if (guarded && guarded->generation() == item)
                handler(guarded);
        };
    };
    m_playbackObservers.append(connect(player, &Player::failed, this, whenObserved(failed), Qt::QueuedConnection));
    m_playbackObservers.append(connect(player, &Player::ended, this, whenObserved(ended), Qt::QueuedConnection));
}

void Engine::directPlayerFailed(Player* player, const Cue& cue, std::optional<RemotePlaybackMode> remoteMode)
{
    if (m_projectionMode)
        legacyProjectionEnded(player);
    setMessage(QStringLiteral("播放失败 · ") + cue.name);
    if (remoteMode) {
        m_remotePlaybackFailed = true;
        remotePlayerDone(player, cue, *remoteMode, true);
    }
}

void Engine::directPlayerEnded(Player* player, const Cue& cue, std::optional<RemotePlaybackMode> remoteMode,
                               const QList<Player*>& players)
{
    if (m_projectionMode) {
        legacyProjectionEnded(player);
        return;
    }
    if (remoteMode) {
        remotePlayerDone(player, cue, *remoteMode, false);
        return;
    }
    switch (cue.ending) {
    case EndBehavior::hold:
        return;
    case EndBehavior::loop:
        player->seek(0);
        if (!m_paused)
            player->play();
        return;
    case EndBehavior::next:
        if (player == players.first())
            inTurn([this] { go(std::nullopt); });
        return;
    }
}

// A failed player is done as much as one that played to its end: either way the playback no longer waits for it.
// Only a normal end of the last one finishes the playback, and a playback in which something failed does not
// report completion over the failure: the operator must still see it.
void Engine::remotePlayerDone(Player* player, const Cue& cue, RemotePlaybackMode mode, bool failed)
{
    if (!m_remotePlaybackItems.remove(player) || !m_remotePlaybackItems.isEmpty() || failed)
        return;
    if (mode == RemotePlaybackMode::once && m_remotePlaybackFailed)
        return;
    finishRemotePlayback(cue, mode);
}

// The cue that starts becomes the selection as at the press that started it: not over a selection made since.
void Engine::selectStarted(const QUuid& id)
{
    if (m_projectionMode || (m_actingPress && *m_actingPress <= m_selectedBy))
        return;
    m_selectedBy = std::max(m_selectedBy, m_actingPress.value_or(m_presses));
    ++m_selectionChanges;
    if (!assign(m_selected, std::optional(id)))
        return;
    const bool late = m_actingPress && !(m_taking && *m_actingPress == m_presses);
    const QScopedValueRollback lateAt(m_selectionLateAt, late ? std::optional(momentNow()) : std::nullopt);
    emit selectedChanged();
}
