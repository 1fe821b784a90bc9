#pragma once

#include "audiochannelmixer.h"

#include <QList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <memory>

class MixerChannelCard;
class QVBoxLayout;

// The per-channel mixer: one card for every channel the mixer has seen (two at first, up to 32, never fewer). While
// shown it reads the peaks every 65 ms; gains and mutes go straight into the mixer, under its lock.
class AudioMixerView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds pollInterval{65};

    explicit AudioMixerView(std::shared_ptr<AudioChannelMixer> mixer, QWidget* parent = nullptr);

    QList<MixerChannelCard*> cards() const { return m_cards; }
    bool polling() const { return m_poll.isActive(); }
    // One round of the poll, as the timer runs it.
    void poll();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void startPolling();
    void showLevels();
    void writeGain(int channel, float gain);
    void writeMuted(int channel, bool muted);

    std::shared_ptr<AudioChannelMixer> m_mixer;
    QList<float> m_levels{0.0f, 0.0f};
    std::array<float, AudioChannelMixer::maxChannels> m_gains;
    std::array<bool, AudioChannelMixer::maxChannels> m_muted{};
    QList<MixerChannelCard*> m_cards;
    QVBoxLayout* m_column;
    QTimer m_poll;
};
