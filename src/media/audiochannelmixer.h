#pragma once

#include <QList>
#include <array>
#include <cstddef>
#include <mutex>
#include <span>

// Gain, mute and peak level of each of up to 32 channels, shared by every player's sound and the mixer panel.
// process() runs on the audio thread; everything else on the main thread. One lock guards it all.
class AudioChannelMixer
{
  public:
    static constexpr int maxChannels = 32;

    // One buffer of interleaved 32-bit float samples; the channels of successive buffers count on.
    struct Buffer
    {
        int channels = 0;
        float* data = nullptr;
        std::size_t byteSize = 0;
    };

    struct ChannelSettings
    {
        std::array<float, maxChannels> gains;
        std::array<bool, maxChannels> muted;
    };

    std::array<float, maxChannels> gains() const;
    std::array<bool, maxChannels> muted() const;
    // Gains and mutes read together, as one state of the mixer.
    ChannelSettings channelSettings() const;
    void setGain(int channel, float gain);
    void setMuted(int channel, bool muted);
    int channelCount() const;

    // The peaks of the channels in use since the last call; all peaks start again from 0.
    QList<float> readLevels();

    // Applies gains and mutes in place and records the peaks after gain.
    void process(std::span<const Buffer> buffers, int frames);

  private:
    mutable std::mutex m_lock;
    std::array<float, maxChannels> m_gains = filled(1.0f);
    std::array<bool, maxChannels> m_muted{};
    std::array<float, maxChannels> m_peaks{};
    int m_channelCount = 2;

    static constexpr std::array<float, maxChannels> filled(float value)
    {
        std::array<float, maxChannels> values{};
        values.fill(value);
        return values;
    }
};
