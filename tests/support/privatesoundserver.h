#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <vector>

// A PulseAudio server of the test's own, with one null sink and no configuration of the machine's: its runtime
// folder, socket and home are in a temporary folder, and it runs as root as well. What plays into the sink is
// recorded from the sink's monitor with parec (pulseaudio-utils). Stopped when the object goes.
class PrivateSoundServer
{
  public:
    static constexpr int kRate = 48000;

    PrivateSoundServer() = default;
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // False with the reason when pulseaudio is missing or does not come up within seconds.
    bool start(QString& why);
    // For PULSE_SERVER: where clients reach this server.
    QString address() const { return QStringLiteral("unix:") + socketPath(); }
    // Points this process's sound clients (those made from now on) at the server.
    void useInThisProcess() const;

    // The monitor of the null sink, as heard: mono samples at kRate, each chunk stamped on the steady clock when
    // it was read. Runs parec on a thread of its own until stop().
    class Recording
    {
      public:
        ~Recording();
        std::vector<qint16> stop();
        // Where on the steady clock a sample was played. A chunk is never read before its last sample was played, so
        // the earliest of all readings bounds when the samples before it were. A sink that sleeps leaves a gap: the
        // samples after it are timed from their own readings.
        std::chrono::steady_clock::time_point playedAt(std::size_t sample) const;
        bool isRecording() const;

      private:
        friend class PrivateSoundServer;
        struct State;
        // Samples played one after the other from `from` on, the first of them at `at`.
        struct Run
        {
            std::size_t from = 0;
            std::chrono::steady_clock::time_point at;
        };
        std::shared_ptr<State> m_state;
        std::vector<Run> m_runs;
    };
    // Starts recording the sink; waits until the first samples arrive (false in *started when none do). A null sink
    // with nobody recording mixes two seconds ahead: a recording's first samples come once that time has passed, and
    // so does any sound that starts meanwhile.
    std::unique_ptr<Recording> record(bool* started = nullptr) const;

    // Puts the sink to sleep, as a device that is slow to wake: sound that starts meanwhile waits in its stream, and
    // the device plays it from its beginning once woken, late by as long as it slept. False, with pactl's answer in
    // `why`, when the server was not told.
    bool sleepSink(QString& why) const;
    bool wakeSink(QString& why) const;
    // Starts recording the sleeping sink: its first samples come as it wakes.
    std::unique_ptr<Recording> recordTheSleepingSink() const;

  private:
    QString socketPath() const { return m_folder.filePath(QStringLiteral("native")); }
    std::unique_ptr<Recording> startRecording(bool waitForSound, bool* started) const;
    bool suspendSink(bool suspended, QString& why) const;

    QTemporaryDir m_folder;
    QProcess m_server;
};
