#include "audiochannelmixer.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

AudioChannelMixer::Buffer interleaved(std::vector<float>& samples, int channels)
{
    return {channels, samples.data(), samples.size() * sizeof(float)};
}

void process(AudioChannelMixer& mixer, std::vector<AudioChannelMixer::Buffer> buffers, int frames)
{
    mixer.process(buffers, frames);
}

} // namespace

TEST(AudioChannelMixer, GainAndMuteActOnTheirChannelAndReadingResetsThePeaks)
{
    AudioChannelMixer mixer;
    mixer.setGain(0, 0.5f);
    std::vector<float> samples{0.8f, -0.6f, -0.4f, 0.2f};
    process(mixer, {interleaved(samples, 2)}, 2);
    EXPECT_EQ(samples, (std::vector<float>{0.4f, -0.6f, -0.2f, 0.2f}));
    EXPECT_EQ(mixer.readLevels(), (QList<float>{0.4f, 0.6f}));
    EXPECT_EQ(mixer.readLevels(), (QList<float>{0.0f, 0.0f}));

    // Muting writes silence but keeps a peak measured before it.
    std::vector<float> first{0.3f, 0.3f};
    process(mixer, {interleaved(first, 2)}, 1);
    mixer.setMuted(1, true);
    std::vector<float> second{0.5f, 0.9f};
    process(mixer, {interleaved(second, 2)}, 1);
    EXPECT_EQ(second[1], 0.0f);
    EXPECT_EQ(mixer.readLevels(), (QList<float>{0.25f, 0.3f}));
    process(mixer, {interleaved(second, 2)}, 1);
    EXPECT_EQ(mixer.readLevels()[1], 0.0f);

    // Panel writes outside the channel range are ignored.
    mixer.setGain(32, 0.0f);
    mixer.setMuted(-1, true);
    EXPECT_EQ(mixer.gains()[31], 1.0f);
    EXPECT_FALSE(mixer.muted()[0]);
}

TEST(AudioChannelMixer, ChannelsCountOnAcrossBuffersWithinTheFramesGiven)
{
    AudioChannelMixer mixer;
    mixer.setGain(1, 0.0f);
    std::vector<float> left{0.25f, -0.5f, 1.0f};
    std::vector<float> right{0.75f, 0.1f, 1.0f};
    process(mixer, {interleaved(left, 1), interleaved(right, 1)}, 2);
    EXPECT_EQ(right, (std::vector<float>{0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(mixer.readLevels(), (QList<float>{0.5f, 0.0f}));

    // A buffer shorter than the call asks for is read only as far as it goes.
    process(mixer, {AudioChannelMixer::Buffer{2, nullptr, 0}, interleaved(right, 1)}, 4);
    EXPECT_EQ(mixer.channelCount(), 3);
    EXPECT_EQ(right, (std::vector<float>{0.0f, 0.0f, 1.0f}));
}

TEST(AudioChannelMixer, ChannelCountGrowsToAtMost32AndNeverShrinks)
{
    AudioChannelMixer mixer;
    std::vector<float> six(6, 0.1f);
    process(mixer, {interleaved(six, 6)}, 1);
    EXPECT_EQ(mixer.channelCount(), 6);
    std::vector<float> stereo(2, 0.1f);
    process(mixer, {interleaved(stereo, 2)}, 1);
    EXPECT_EQ(mixer.channelCount(), 6);

    for (int c = 0; c < AudioChannelMixer::maxChannels; ++c)
        mixer.setGain(c, 0.5f);
    std::vector<float> forty(40, 1.0f);
    process(mixer, {interleaved(forty, 40)}, 1);
    EXPECT_EQ(mixer.channelCount(), 32);
    EXPECT_EQ(forty[31], 0.5f);
    EXPECT_EQ(forty[32], 1.0f);
    EXPECT_EQ(forty[39], 1.0f);
    EXPECT_EQ(mixer.readLevels().size(), 32);
}
