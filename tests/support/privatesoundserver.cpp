#include "privatesoundserver.h"

#include "eventwait.h"

#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>
#include <mutex>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

const char* const kSink = "lumo_test";
// Samples read this much later than their run allows may follow a gap.
constexpr std::chrono::milliseconds kGap{30};

} // namespace

PrivateSoundServer::~PrivateSoundServer()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000))
        m_server.kill();
    m_server.waitForFinished(5000);
}

bool PrivateSoundServer::start(QString& why)
{
    for (const char* tool : {"pulseaudio", "parec", "pactl"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            why = QStringLiteral("%1 is not installed (Debian: pulseaudio, pulseaudio-utils)").arg(tool);
            return false;
        }
    if (!m_folder.isValid()) {
        why = QStringLiteral("no temporary folder");
        return false;
    }
    // Nothing of the machine's or the user's sound set-up: own home, runtime folder and socket, no default script,
    // no D-Bus, and as root without --system (which would read the system's configuration).
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "XDG_CONFIG_HOME"})
        environment.insert(QString::fromLatin1(name), m_folder.path());
    environment.remove(QStringLiteral("PULSE_SERVER"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_server.setProcessEnvironment(environment);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    // Goes with the test program, however that ends.
    m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_server.start(QStringLiteral("pulseaudio"),
                   {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disallow-exit",
                    "--disable-shm=yes", "--log-target=stderr", "-L",
                    QStringLiteral("module-null-sink sink_name=%1 rate=%2 channels=2").arg(kSink).arg(kRate), "-L",
                    "module-native-protocol-unix auth-anonymous=1 socket=" + socketPath()});
    if (!m_server.waitForStarted(10000)) {
        why = QStringLiteral("pulseaudio cannot be started: ") + m_server.errorString();
        return false;
    }
    if (!waitUntil([&] { return QFile::exists(socketPath()) || m_server.state() == QProcess::NotRunning; }, 15000) ||
        !QFile::exists(socketPath())) {
        why = QStringLiteral("pulseaudio did not come up: ") + QString::fromLocal8Bit(m_server.readAll()).trimmed();
        return false;
    }
    return true;
}

void PrivateSoundServer::useInThisProcess() const
{
    qputenv("PULSE_SERVER", address().toLocal8Bit());
}

struct PrivateSoundServer::Recording::State
{
    pid_t pid = -1;
    int out = -1;
    std::thread reader;
    mutable std::mutex lock;
    std::vector<qint16> samples;
    std::vector<Recording::Run> runs;

    // Takes a chunk read at `now`: it goes on the run before, or begins a run of its own after a gap.
    void take(const qint16* chunk, std::size_t count, std::chrono::steady_clock::time_point now)
    {
        const auto played = [](std::size_t samples) {
            return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(double(samples) / kRate));
        };
        samples.insert(samples.end(), chunk, chunk + count);
        // Read later than the run so far allows: either the reading came late (the next prompt one mends the run's
        // start) or the sink played nothing for a while. A run begun on a late reading comes to the same start.
        if (!runs.empty()) {
            const std::chrono::steady_clock::time_point runStart = now - played(samples.size() - runs.back().from);
            if (runStart - runs.back().at <= kGap) {
                runs.back().at = std::min(runs.back().at, runStart);
                return;
            }
        }
        runs.push_back({samples.size() - count, now - played(count)});
    }
};

std::unique_ptr<PrivateSoundServer::Recording> PrivateSoundServer::record(bool* started) const
{
    return startRecording(true, started);
}

bool PrivateSoundServer::sleepSink(QString& why) const
{
    return suspendSink(true, why);
}

bool PrivateSoundServer::wakeSink(QString& why) const
{
    return suspendSink(false, why);
}

// A sink suspended by hand stays so while streams come and go: they wait, their sound held, until it is resumed.
bool PrivateSoundServer::suspendSink(bool suspended, QString& why) const
{
    QProcess pactl;
    pactl.setProcessChannelMode(QProcess::MergedChannels);
    pactl.start(QStringLiteral("pactl"),
                {"-s", address(), "suspend-sink", QString::fromLatin1(kSink), suspended ? "1" : "0"});
    // The test's event loop goes on meanwhile: its players and windows keep running.
    if (!pactl.waitForStarted(10000) || !waitUntil([&] { return pactl.state() == QProcess::NotRunning; }, 10000) ||
        pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0) {
        why = QStringLiteral("pactl suspend-sink: ") + pactl.errorString() + ' ' +
              QString::fromLocal8Bit(pactl.readAll()).trimmed();
        return false;
    }
    return true;
}

std::unique_ptr<PrivateSoundServer::Recording> PrivateSoundServer::recordTheSleepingSink() const
{
    return startRecording(false, nullptr);
}

std::unique_ptr<PrivateSoundServer::Recording> PrivateSoundServer::startRecording(bool waitForSound,
                                                                                  bool* started) const
{
    auto recording = std::unique_ptr<Recording>(new Recording);
    auto state = std::make_shared<Recording::State>();
    recording->m_state = state;
    if (started)
        *started = false;
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return recording;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    const QByteArray server = address().toLocal8Bit();
    const QByteArray device = QByteArray(kSink) + ".monitor";
    const QByteArray rate = QByteArray::number(kRate);
    std::vector<QByteArray> arguments{
        "parec",           "-s", server, "-d", device, "--raw", "--format=s16le", "--rate=" + rate, "--channels=1",
        "--latency-msec=2"};
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&state->pid, "parec", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        state->pid = -1;
        return recording;
    }
    state->out = pipeEnds[0];
    state->reader = std::thread([state] {
        qint16 chunk[96];
        std::size_t bytesHeld = 0;
        char* bytes = reinterpret_cast<char*>(chunk);
        while (true) {
            const ssize_t got = ::read(state->out, bytes + bytesHeld, sizeof(chunk) - bytesHeld);
            if (got <= 0)
                break;
            bytesHeld += std::size_t(got);
            const std::size_t whole = bytesHeld / 2;
            const auto now = std::chrono::steady_clock::now();
            std::scoped_lock hold(state->lock);
            state->take(chunk, whole, now);
            if (bytesHeld % 2)
                bytes[0] = bytes[bytesHeld - 1];
            bytesHeld %= 2;
        }
    });
    if (!waitForSound)
        return recording;
    const bool flowing = waitUntil(
        [&] {
            std::scoped_lock hold(state->lock);
            return state->samples.size() >= kRate / 10;
        },
        10000);
    if (started)
        *started = flowing;
    return recording;
}

PrivateSoundServer::Recording::~Recording()
{
    stop();
}

bool PrivateSoundServer::Recording::isRecording() const
{
    return m_state && m_state->pid > 0;
}

std::vector<qint16> PrivateSoundServer::Recording::stop()
{
    if (!m_state)
        return {};
    if (m_state->pid > 0) {
        ::kill(m_state->pid, SIGTERM);
        if (m_state->reader.joinable())
            m_state->reader.join();
        ::waitpid(m_state->pid, nullptr, 0);
        ::close(m_state->out);
        m_state->pid = -1;
    }
    std::scoped_lock hold(m_state->lock);
    m_runs = m_state->runs;
    return m_state->samples;
}

std::chrono::steady_clock::time_point PrivateSoundServer::Recording::playedAt(std::size_t sample) const
{
    const auto run = std::find_if(m_runs.crbegin(), m_runs.crend(), [&](const Run& run) { return run.from <= sample; });
    if (run == m_runs.crend())
        return std::chrono::steady_clock::time_point::max();
    return run->at + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(double(sample - run->from) / kRate));
}
