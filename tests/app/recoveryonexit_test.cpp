#include "eventwait.h"
#include "mediafixtures.h"
#include "projectfile.h"
#include "stallablemount.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

namespace {
// The console with one edit made just now, over a recovery folder of its own.
class EditedConsole
{
  public:
    // The recovery folder is one of its own unless given.
    explicit EditedConsole(const QString& cueName, const QString& recoveryFolder = {})
        : m_cueName(cueName), m_recovery(recoveryFolder.isEmpty() ? m_folder.filePath("recovery") : recoveryFolder)
    {
    }
    ~EditedConsole()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    // Starts it and waits for its edit, or with onRequest until it waits for edit().
    bool start(const QProcessEnvironment& environment, bool onRequest = false)
    {
        m_process.setProcessEnvironment(environment);
        QStringList arguments{m_recovery, m_folder.filePath("settings.ini"), m_cueName};
        if (onRequest)
            arguments.append("--on-request");
        m_process.start(EDITED_CONSOLE_PROCESS, arguments);
        if (!m_process.waitForStarted(30000))
            return false;
        return waitForLine(onRequest ? "ready" : "edited");
    }
    bool edit()
    {
        m_process.write("edit\n");
        return waitForLine("edited");
    }
    // Starts it with the video the second cue's clip, and waits until the disk has answered about it.
    bool startWithVideo(const QProcessEnvironment& environment, const QString& video)
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(EDITED_CONSOLE_PROCESS,
                        {m_recovery, m_folder.filePath("settings.ini"), m_cueName, "--preview", video});
        return m_process.waitForStarted(30000) && waitForLine("edited") && waitForLine("answered");
    }
    // Starts it with the video the second cue's clip, its length known or not, and waits for its edit only.
    bool startAsking(const QProcessEnvironment& environment, const QString& video, bool measured)
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(EDITED_CONSOLE_PROCESS, {m_recovery, m_folder.filePath("settings.ini"), m_cueName,
                                                 measured ? "--preview" : "--unmeasured", video});
        return m_process.waitForStarted(30000) && waitForLine("edited");
    }
    // Starts it with the picture to read once told, and waits for its edit.
    bool startWithPicture(const QProcessEnvironment& environment, const QString& picture)
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(EDITED_CONSOLE_PROCESS,
                        {m_recovery, m_folder.filePath("settings.ini"), m_cueName, "--picture", picture});
        return m_process.waitForStarted(30000) && waitForLine("edited");
    }
    // Writes a line, and waits for the one expected back.
    bool tell(const QByteArray& line, const QByteArray& expected)
    {
        m_process.write(line + '\n');
        return waitForLine(expected);
    }
    // Asks for a still of the video.
    bool preview()
    {
        m_process.write("preview\n");
        return waitForLine("previewing");
    }

    bool waitForLine(const QByteArray& expected)
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(30000))
                return false;
        return m_process.readLine().trimmed() == expected;
    }
    bool waitForEnd() { return m_process.waitForFinished(30000); }
    // The texts of the quit's question once it is asked, or nothing when the console ended or did not ask in time.
    std::optional<QString> waitForQuestion()
    {
        for (;;) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine());
                if (line.startsWith("asked: "))
                    return line;
            }
            if (!m_process.waitForReadyRead(30000))
                return std::nullopt;
        }
    }
    bool asked() { return m_process.readAllStandardOutput().contains("asked: "); }
    QProcess& process() { return m_process; }
    std::string errors() { return m_process.readAllStandardError().toStdString(); }

    // The first cue's name in the recovery copy, or nothing without one.
    std::optional<QString> recoveredCueName() const
    {
        try {
            return readShowFile(m_recovery + "/Recovery.json").cues.first().name;
        } catch (const ProjectFileError&) {
            return std::nullopt;
        }
    }

  private:
    QTemporaryDir m_folder;
    QString m_cueName;
    QString m_recovery;
    QProcess m_process;
};

QProcessEnvironment headless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

// Ends the console, one of whose threads the stopped share holds, by the signal, lets the share answer so long after
// it (never while the process runs when negative), and wants it ended within a second with its edit written. How
// soon it ended is printed after the case's name.
void quitWhileHeld(EditedConsole& console, StallableMount& share, int signal, int answerAfterMs, const char* held)
{
    const auto pid = pid_t(console.process().processId());
    ASSERT_TRUE(waitUntil([&] { return StallableMount::holdsAThreadOf(pid); })) << held << " was not held";
    QTimer answer;
    answer.setSingleShot(true);
    QObject::connect(&answer, &QTimer::timeout, [&] { share.thaw(); });
    QElapsedTimer ending;
    ending.start();
    ::kill(pid, signal);
    if (answerAfterMs >= 0)
        answer.start(answerAfterMs);
    ASSERT_TRUE(waitUntil([&] { return console.process().state() == QProcess::NotRunning; }, 30000));
    const qint64 endedAfterMs = ending.elapsed();
    EXPECT_LT(endedAfterMs, 1000) << "the quit waited for the share";
    EXPECT_EQ(console.process().exitStatus(), QProcess::NormalExit) << console.errors();
    EXPECT_TRUE(console.recoveredCueName()) << console.errors();
    std::printf("quit by %s with %s held, the share answering %d ms after: ended after %lld ms\n", strsignal(signal),
                held, answerAfterMs, static_cast<long long>(endedAfterMs));
    share.thaw();
}
} // namespace

// The edit is made well inside the recovery copy's 0.7 s delay; each way of ending writes it first.
TEST(RecoveryOnExit, HangUpTerminateAndInterruptWriteTheEditJustMade)
{
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        EditedConsole console(QStringLiteral("信号前的修改 %1").arg(signal));
        ASSERT_TRUE(console.start(headless())) << console.errors();
        ::kill(pid_t(console.process().processId()), signal);
        ASSERT_TRUE(console.waitForEnd());
        EXPECT_EQ(console.process().exitStatus(), QProcess::NormalExit) << console.errors();
        EXPECT_EQ(console.recoveredCueName(), QStringLiteral("信号前的修改 %1").arg(signal)) << console.errors();
        EXPECT_FALSE(console.asked()) << "the edit was kept, yet the quit asked";
    }
}

TEST(RecoveryOnExit, ALostDisplayWritesTheEditJustMade)
{
    // A display of the console's own, taken away under it: the X server writes its number once it accepts clients.
    QProcess server;
    server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x720x24"});
    ASSERT_TRUE(server.waitForStarted(30000));
    while (!server.canReadLine())
        ASSERT_TRUE(server.waitForReadyRead(30000)) << "Xvfb gave no display number";
    const QString display = ":" + QString::fromLatin1(server.readLine().trimmed());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("DISPLAY", display);
    environment.remove("XAUTHORITY");
    EditedConsole console("断开显示前的修改");
    ASSERT_TRUE(console.start(environment)) << console.errors();

    server.kill();
    ASSERT_TRUE(server.waitForFinished(30000));
    ASSERT_TRUE(console.waitForEnd()) << "the console outlived its display";
    EXPECT_EQ(console.recoveredCueName(), QString("断开显示前的修改")) << console.errors();
}

// A recovery folder on a share that stops answering holds neither the quit nor the next start. SIGINT and SIGHUP
// never ask: the quit ends within a few seconds and says on stderr what was lost. A SIGTERM asks first, as the edit
// would be lost, and a second SIGTERM ends the same way. A start over that folder says so in Chinese and ends.
// The share stops before the edit: a request its daemon had taken as it stopped would hold the process until it
// answered, however the process ended.
TEST(RecoveryOnExit, AStalledRecoveryFolderHoldsNeitherTheQuitNorTheNextStart)
{
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString recovery = share.mount() + "/.local/share/Lumoria";
    for (const int signal : {SIGINT, SIGHUP, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        EditedConsole console("停顿后的修改", recovery);
        ASSERT_TRUE(console.start(headless(), true)) << console.errors();
        share.freeze();
        ASSERT_TRUE(console.edit()) << console.errors();
        const auto pid = pid_t(console.process().processId());
        ::kill(pid, signal);
        if (signal == SIGTERM) {
            const std::optional<QString> asked = console.waitForQuestion();
            ASSERT_TRUE(asked) << "the first SIGTERM did not ask: " << console.errors();
            EXPECT_TRUE(asked->contains("最近的修改没有保存在任何文件中") && asked->contains("没有响应"))
                << asked->toStdString();
            EXPECT_EQ(console.process().state(), QProcess::Running);
            ::kill(pid, SIGTERM);
        }
        QElapsedTimer quit;
        quit.start();
        ASSERT_TRUE(console.waitForEnd());
        EXPECT_LT(quit.elapsed(), 10000) << "the quit waited on the share";
        EXPECT_EQ(console.process().exitStatus(), QProcess::NormalExit);
        const QString told = QString::fromUtf8(console.process().readAllStandardOutput());
        EXPECT_FALSE(told.contains("asked: ")) << "the signal asked";
        // The quit waited for the recovery copy with the event loop running: the timer went on being served.
        const QRegularExpressionMatch ended =
            QRegularExpression("quit: (\\d+) ticks, longest gap (\\d+) ms").match(told);
        ASSERT_TRUE(ended.hasMatch()) << told.toStdString();
        EXPECT_GT(ended.captured(1).toInt(), 50) << "the main thread waited for the folder: " << told.toStdString();
        std::printf("quit by %s over the stalled folder: %s\n", strsignal(signal), qPrintable(ended.captured(0)));
        const QString said = QString::fromUtf8(console.process().readAllStandardError());
        EXPECT_TRUE(said.contains("没有写入恢复副本，已丢失") && said.contains("没有响应")) << said.toStdString();
        share.thaw();
    }
    share.freeze();

    QProcess lumoria;
    QProcessEnvironment environment = headless();
    environment.insert("HOME", folder.path());
    environment.insert("XDG_DATA_HOME", share.mount() + "/.local/share");
    environment.insert("XDG_RUNTIME_DIR", folder.path());
    lumoria.setProcessEnvironment(environment);
    QElapsedTimer start;
    start.start();
    lumoria.start(LUMO_EXECUTABLE, {});
    ASSERT_TRUE(lumoria.waitForFinished(15000)) << "the start hangs on the share";
    EXPECT_EQ(lumoria.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(lumoria.exitCode(), 1);
    const QString startSaid = QString::fromUtf8(lumoria.readAllStandardError());
    EXPECT_TRUE(startSaid.contains("Lumoria 无法启动：恢复文件夹") && startSaid.contains("没有响应"))
        << startSaid.toStdString();
    share.thaw();
}

// A still of a video on a share that stopped answering, asked for just before the quit, does not hold it: the console
// ends within a second, with its edit written, whether the share answers during the quit, just after it, or not at
// all before the process has ended. The share stops after the disk has answered about the video and before the still
// is asked for, so that its daemon has taken no request it would hold the process's end for.
TEST(RecoveryOnExit, AStillHeldByAShareDoesNotHoldTheQuit)
{
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    struct Case
    {
        int signal;
        // When the share answers after the signal; never while the process runs when negative.
        int answerAfterMs;
    };
    for (const Case& quit : {Case{SIGINT, 0}, Case{SIGTERM, 20}, Case{SIGHUP, 300}, Case{SIGINT, -1}}) {
        SCOPED_TRACE(strsignal(quit.signal));
        SCOPED_TRACE(quit.answerAfterMs);
        const QString name = QStringLiteral("held%1.mp4").arg(quit.answerAfterMs);
        ASSERT_TRUE(QFile::copy(MediaFixtures::indexedVideo(90), share.backing() + "/" + name));
        EditedConsole console(QStringLiteral("预监时退出 %1").arg(quit.answerAfterMs));
        ASSERT_TRUE(console.startWithVideo(headless(), share.mount() + "/" + name)) << console.errors();
        share.freeze();
        ASSERT_TRUE(console.preview()) << console.errors();
        quitWhileHeld(console, share, quit.signal, quit.answerAfterMs, "a still");
        if (HasFatalFailure())
            return;
        EXPECT_EQ(console.recoveredCueName(), QStringLiteral("预监时退出 %1").arg(quit.answerAfterMs));
    }
}

// A picture on a share that stopped answering, being read by the shared still decoder when the quit comes, does not
// hold it: not while its file is looked at, nor while it decodes on a worker, whether the share answers during the
// quit, just after it, or not at all before the process has ended. As above, the share stops while its daemon has
// taken no request: the decode starts only once the look has ended and the share has stopped.
TEST(RecoveryOnExit, APictureHeldByAShareDoesNotHoldTheQuit)
{
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString large = MediaFixtures::png({4000, 3000}, Qt::blue);
    for (const char* held : {"look", "decode"}) {
        for (const int answerAfterMs : {0, 300, -1}) {
            SCOPED_TRACE(held);
            SCOPED_TRACE(answerAfterMs);
            const QString name = QStringLiteral("%1%2.png").arg(held).arg(answerAfterMs);
            ASSERT_TRUE(QFile::copy(large, share.backing() + "/" + name));
            ASSERT_TRUE(QFileInfo::exists(share.mount() + "/" + name));
            EditedConsole console(QStringLiteral("读图时退出 %1").arg(answerAfterMs));
            ASSERT_TRUE(console.startWithPicture(headless(), share.mount() + "/" + name)) << console.errors();
            if (held == std::string("look")) {
                share.freeze();
                ASSERT_TRUE(console.tell("look", "looking")) << console.errors();
            } else {
                ASSERT_TRUE(console.tell("decode", "looked")) << console.errors();
                share.freeze();
                ASSERT_TRUE(console.tell("go", "decoding")) << console.errors();
            }
            quitWhileHeld(console, share, SIGINT, answerAfterMs, held);
            if (HasFatalFailure())
                return;
        }
    }
}

// The disk asked about a video on a share that stopped answering before the console started does not hold the quit,
// nor does the video's length measured there when the show does not know it.
TEST(RecoveryOnExit, AQuestionHeldByAShareDoesNotHoldTheQuit)
{
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    for (const bool measured : {true, false}) {
        for (const int answerAfterMs : {0, 300, -1}) {
            SCOPED_TRACE(measured ? "length known" : "length measured");
            SCOPED_TRACE(answerAfterMs);
            const QString name = QStringLiteral("asked%1%2.mp4").arg(measured).arg(answerAfterMs);
            ASSERT_TRUE(QFile::copy(MediaFixtures::indexedVideo(90), share.backing() + "/" + name));
            // Seen through the share first: a share just mounted and stopped at once would not have begun to answer.
            ASSERT_TRUE(QFileInfo::exists(share.mount() + "/" + name));
            share.freeze();
            EditedConsole console(QStringLiteral("询问时退出 %1").arg(answerAfterMs));
            ASSERT_TRUE(console.startAsking(headless(), share.mount() + "/" + name, measured)) << console.errors();
            quitWhileHeld(console, share, SIGINT, answerAfterMs, measured ? "a question" : "a question and a length");
            if (HasFatalFailure())
                return;
        }
    }
}
