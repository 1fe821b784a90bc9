#include "engine.h"

#include "assign.h"
#include "directfile.h"
#include "independentscreens.h"
#include "picture.h"

#include <algorithm>

void Engine::setMuted(bool muted)
{
    if (assign(m_muted, muted))
        emit mutedChanged();
    updateVolumes();
    for (Engine* independent : m_independent->engines())
        independent->setMuted(muted);
}

void Engine::setMusicVolume(double volume)
{
    if (assign(m_musicVolume, volume))
        emit musicVolumeChanged();
    updateVolumes();
}

void Engine::setEffectsVolume(double volume)
{
    if (assign(m_effectsVolume, volume))
        emit effectsVolumeChanged();
    updateVolumes();
}

void Engine::setVideoBlack(bool black)
{
    if (!assign(m_videoBlack, black))
        return;
    for (Picture* picture : std::as_const(m_program))
        picture->setBlack(black);
    emit videoBlackChanged();
}

// Only a clip on the main or side lane shown on the first screen, with its video sound on, is heard by default.
static bool clipQualifiesForSound(const TimelineEvent& event)
{
    return isScreen(event.track) && event.screen() == kScreen1 && event.videoAudio;
}

void Engine::updateVolumes()
{
    const auto busVolume = [this](bool music) { return float(m_muted ? 0 : music ? m_musicVolume : m_effectsVolume); };
    m_audio[size_t(Bus::music)]->setVolume(busVolume(true));
    m_audio[size_t(Bus::effects)]->setVolume(busVolume(false));
    for (auto track = m_timelineAudio.cbegin(); track != m_timelineAudio.cend(); ++track)
        for (Player* player : track.value())
            player->setVolume(busVolume(track.key() == Track::music));

    const bool timelineCue = m_current && m_current->isTimelineCue();
    for (auto entry = m_program.cbegin(); entry != m_program.cend(); ++entry) {
        const ScreenRole& role = entry.key();
        Picture* program = entry.value();
        bool muted = m_muted || m_independent->contains(role) || !m_current;
        if (!muted)
            muted = m_current->videoMuted ? *m_current->videoMuted : role != kScreen1 || !m_current->videoAudio;
        program->player()->setMuted(muted);
        if (!timelineCue && program->foreground())
            program->foreground()->player()->setMuted(muted);
    }

    for (auto screen = m_screenClips.cbegin(); screen != m_screenClips.cend(); ++screen) {
        const Picture* program = m_program.value(screen.key());
        const Picture* shown = program ? program->foreground() : nullptr;
        const bool screenMuted = m_muted || m_independent->contains(screen.key());
        for (const ScreenClip& clip : screen.value()) {
            const TimelineEvent& event = clip.event;
            const bool silent = event.videoMuted ? *event.videoMuted : !clipQualifiesForSound(event);
            clip.picture->player()->setMuted(screenMuted || silent || !shown || clip.picture.get() != shown);
        }
    }
}

bool Engine::meansToBeHeard(const Cue& cue) const
{
    if (cue.isTimelineCue())
        return std::any_of(cue.timeline->cbegin(), cue.timeline->cend(), [](const TimelineEvent& event) {
            if (!isScreen(event.track))
                return event.track != Track::message;
            return event.videoMuted ? !*event.videoMuted : clipQualifiesForSound(event);
        });
    if (cue.audio)
        return true;
    const QList<ScreenRole> screens = showScreens();
    return std::any_of(screens.cbegin(), screens.cend(), [&cue](const ScreenRole& role) {
        const std::optional<QUrl> file = directFile(cue, role);
        if (!file || assetKind(*file) == AssetKind::image)
            return false;
        return cue.videoMuted ? !*cue.videoMuted : role == kScreen1 && cue.videoAudio;
    });
}

void Engine::noteSilentSound()
{
    const QString text = QStringLiteral("没有可用的声音输出设备，声音不会播出");
    setMessage(m_message == QStringLiteral("就绪") ? text : m_message + QStringLiteral(" · ") + text);
}
