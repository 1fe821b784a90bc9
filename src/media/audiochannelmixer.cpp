#include "audiochannelmixer.h"

#include <algorithm>
#include <cmath>

std::array<float, AudioChannelMixer::maxChannels> AudioChannelMixer::gains() const
{
    std::scoped_lock lock(m_lock);
    return m_gains;
}

std::array<bool, AudioChannelMixer::maxChannels> AudioChannelMixer::muted() const
{
    std::scoped_lock lock(m_lock);
    return m_muted;
}

AudioChannelMixer::ChannelSettings AudioChannelMixer::channelSettings() const
{
    std::scoped_lock lock(m_lock);
    return {m_gains, m_muted};
}

void AudioChannelMixer::setGain(int channel, float gain)
{
    if (channel < 0 || channel >= maxChannels)
        return;
    std::scoped_lock lock(m_lock);
    m_gains[channel] = gain;
}

void AudioChannelMixer::setMuted(int channel, bool muted)
{
    if (channel < 0 || channel >= maxChannels)
        return;
    std::scoped_lock lock(m_lock);
    m_muted[channel] = muted;
}

int AudioChannelMixer::channelCount() const
{
    std::scoped_lock lock(m_lock);
    return m_channelCount;
}

QList<float> AudioChannelMixer::readLevels()
{
    std::scoped_lock lock(m_lock);
    QList<float> levels(m_peaks.begin(), m_peaks.begin() + m_channelCount);
    m_peaks.fill(0);
    return levels;
}

void AudioChannelMixer::process(std::span<const Buffer> buffers, int frames)
{
    std::scoped_lock lock(m_lock);
    int first = 0;
    for (const Buffer& buffer : buffers) {
        const int n = buffer.channels;
        if (n > 0 && buffer.data) {
            const auto framesInBuffer = static_cast<int>(std::min<std::size_t>(
                buffer.byteSize / (static_cast<std::size_t>(n) * sizeof(float)), static_cast<std::size_t>(frames)));
            const int usable = first >= maxChannels ? 0 : std::min(n, maxChannels - first);
            for (int c = 0; c < usable; ++c) {
                const int k = first + c;
                const float gain = m_muted[k] ? 0.0f : m_gains[k];
                float peak = m_peaks[k];
                float* sample = buffer.data + c;
                for (int f = 0; f < framesInBuffer; ++f, sample += n) {
                    *sample *= gain;
                    peak = std::max(peak, std::fabs(*sample));
                }
                m_peaks[k] = peak;
            }
        }
        first += std::max(n, 0);
    }
    m_channelCount = std::min(maxChannels, std::max(first, m_channelCount));
}
