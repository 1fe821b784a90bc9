#include "soundoutput.h"

#include "audiooutput.h"
#include "soundlag.h"

#include <QThreadPool>

SoundOutput& SoundOutput::shared()
{
    static SoundOutput* output = new SoundOutput;
    return *output;
}

void SoundOutput::choose(SoundSink sink)
{
    {
        const std::lock_guard lock(m_lock);
        m_chosen = sink;
    }
    // The silent sink has no lag for pictures to keep.
    if (sink == SoundSink::silent)
        SoundLag::forget();
}

void SoundOutput::assumeDeviceOpens(bool opens)
{
    const std::lock_guard lock(m_lock);
    m_chosen.reset();
    m_deviceOpens = opens;
}

void SoundOutput::check()
{
    {
        const std::lock_guard lock(m_lock);
        if (m_chosen)
            return;
    }
    // Opening a device can wait on a sound server that does not answer: never on the caller's thread.
    QThreadPool::globalInstance()->start([this] {
        if (sink() == SoundSink::silent && fellBackToSilence())
            emit fellBack();
    });
}

SoundSink SoundOutput::sink()
{
    const auto known = [this]() -> std::optional<SoundSink> {
        const std::lock_guard lock(m_lock);
        if (m_chosen)
            return m_chosen;
        if (m_deviceOpens)
            return *m_deviceOpens ? SoundSink::device : SoundSink::silent;
        return std::nullopt;
    };
    if (const std::optional<SoundSink> sink = known())
        return *sink;
    const std::lock_guard asking(m_asking);
    if (const std::optional<SoundSink> sink = known())
        return *sink;
    const bool opens = soundDeviceOpens();
    const std::lock_guard lock(m_lock);
    if (!m_deviceOpens)
        m_deviceOpens = opens;
    if (m_chosen)
        return *m_chosen;
    return *m_deviceOpens ? SoundSink::device : SoundSink::silent;
}

bool SoundOutput::fellBackToSilence() const
{
    const std::lock_guard lock(m_lock);
    return !m_chosen && m_deviceOpens == false;
}
