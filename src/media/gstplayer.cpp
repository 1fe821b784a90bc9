#include "gstplayer.h"

struct GstPlayer::Private
{
};

GstPlayer::GstPlayer(QObject* parent) : Player(parent), d(std::make_unique<Private>()) {}
GstPlayer::~GstPlayer() = default;
void GstPlayer::load(const QUrl&) {}
void GstPlayer::clear() {}
QUrl GstPlayer::url() const { return {}; }
PlayerStatus GstPlayer::status() const { return PlayerStatus::empty; }
QString GstPlayer::errorText() const { return {}; }
quint64 GstPlayer::generation() const { return 0; }
void GstPlayer::play() {}
void GstPlayer::playAt(double, HostTime) {}
void GstPlayer::pause() {}
bool GstPlayer::isPlaying() const { return false; }
void GstPlayer::seek(double, SeekMode) {}
void GstPlayer::setRate(double) {}
double GstPlayer::rate() const { return 1; }
void GstPlayer::setVolume(float) {}
float GstPlayer::volume() const { return 1; }
void GstPlayer::setMuted(bool) {}
bool GstPlayer::isMuted() const { return false; }
double GstPlayer::currentTime() const { return 0; }
std::optional<double> GstPlayer::duration() const { return {}; }
void GstPlayer::setAudioMixer(std::shared_ptr<AudioChannelMixer>) {}
std::optional<VideoFrame> GstPlayer::currentFrame() const { return {}; }

PlayerFactory defaultPlayerFactory()
{
    return [](QObject* parent) -> std::unique_ptr<Player> { return std::make_unique<GstPlayer>(parent); };
}
