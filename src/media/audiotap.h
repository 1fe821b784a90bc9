#pragma once

#include <atomic>
#include <memory>
#include <mutex>

class AudioChannelMixer;
typedef struct _GstElement GstElement;
typedef struct _GstBuffer GstBuffer;

// A player's audio filter: converts to interleaved 32-bit float and runs the mixer over every buffer.
class AudioTap
{
  public:
    AudioTap();
    ~AudioTap();
    AudioTap(const AudioTap&) = delete;
    AudioTap& operator=(const AudioTap&) = delete;

    // The filter element; the player's pipeline takes it over.
    GstElement* element() const { return m_bin; }
    void setMixer(std::shared_ptr<AudioChannelMixer> mixer);
    void setChannels(int channels) { m_channels = channels; }
    // Processes one buffer of the current format in place (it may be replaced by a writable copy).
    void apply(GstBuffer** buffer);

  private:
    GstElement* m_bin = nullptr;
    std::mutex m_mixerLock;
    std::shared_ptr<AudioChannelMixer> m_mixer;
    std::atomic<int> m_channels{0};
};
