#include "audiomixerview.h"

#include "mixerchannelcard.h"

#include <QVBoxLayout>

AudioMixerView::AudioMixerView(std::shared_ptr<AudioChannelMixer> mixer, QWidget* parent)
    : QWidget(parent), m_mixer(std::move(mixer)), m_column(new QVBoxLayout(this))
{
    m_gains.fill(1.0f);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(8);
    m_poll.setTimerType(Qt::PreciseTimer);
    m_poll.setInterval(pollInterval);
    connect(&m_poll, &QTimer::timeout, this, &AudioMixerView::poll);
    showLevels();
}

void AudioMixerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_poll.isActive())
        startPolling();
}

void AudioMixerView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_poll.stop();
}

// The sliders show what the mixer applies now; the peaks gathered while the panel was hidden are dropped, so the
// meters start from a clean window.
void AudioMixerView::startPolling()
{
    if (!m_mixer)
        return;
    const AudioChannelMixer::ChannelSettings settings = m_mixer->channelSettings();
    m_gains = settings.gains;
    m_muted = settings.muted;
    m_mixer->readLevels();
    poll();
    m_poll.start();
}

void AudioMixerView::poll()
{
    if (!m_mixer)
        return;
    m_levels = m_mixer->readLevels();
    showLevels();
}

void AudioMixerView::showLevels()
{
    while (m_cards.size() < std::min<qsizetype>(m_levels.size(), AudioChannelMixer::maxChannels)) {
        const int channel = int(m_cards.size());
        auto* card = new MixerChannelCard(channel, this);
        connect(card, &MixerChannelCard::gainChanged, this, [this, channel](float gain) { writeGain(channel, gain); });
        connect(card, &MixerChannelCard::mutedChanged, this,
                [this, channel](bool muted) { writeMuted(channel, muted); });
        m_column->addWidget(card);
        m_cards.append(card);
    }
    for (int channel = 0; channel < m_cards.size(); ++channel) {
        MixerChannelCard* card = m_cards.at(channel);
        card->setPeak(channel < m_levels.size() ? m_levels.at(channel) : 0.0f);
        card->setGain(m_gains.at(channel));
        card->setMuted(m_muted.at(channel));
    }
}

void AudioMixerView::writeGain(int channel, float gain)
{
    m_gains.at(channel) = gain;
    if (m_mixer)
        m_mixer->setGain(channel, gain);
}

void AudioMixerView::writeMuted(int channel, bool muted)
{
    m_muted.at(channel) = muted;
    if (m_mixer)
        m_mixer->setMuted(channel, muted);
}
