#include "enginefixture.h"
#include "projectfile.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <csignal>

namespace {

// Everything in the folder of target but target itself: what saves left beside it.
QStringList besides(const QString& target)
{
    const QFileInfo info(target);
    QStringList names = QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(info.fileName());
    return names;
}

std::string listed(const QStringList& names)
{
    return names.join(QLatin1Char(' ')).toStdString();
}

// A save of target in another process, stopped half-way through its write; `writing` is the file it writes.
class StalledSave
{
  public:
    explicit StalledSave(const QString& target)
    {
        const QStringList before = besides(target);
        process.start(QStringLiteral(STALLED_SAVE_PROCESS), {target});
        EXPECT_TRUE(process.waitForStarted(30000));
        while (process.state() == QProcess::Running && !process.canReadLine())
            process.waitForReadyRead(30000);
        EXPECT_EQ(process.readLine().trimmed(), "writing") << process.readAllStandardError().toStdString();
        for (const QString& name : besides(target))
            if (!before.contains(name))
                writing = QFileInfo(target).absoluteDir().filePath(name);
        EXPECT_FALSE(writing.isEmpty());
    }
    ~StalledSave() { kill(); }
    StalledSave(const StalledSave&) = delete;
    StalledSave& operator=(const StalledSave&) = delete;

    void kill()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process.processId()), SIGKILL);
        EXPECT_TRUE(process.waitForFinished(30000));
    }

    QProcess process;
    QString writing;
};

using SaveFiles = EngineTest;

} // namespace

// A save killed half-way leaves its file; the next open or save of the same show removes it, but never the file of a
// save still running in another process.
TEST_F(SaveFiles, KilledSavesLeaveNothingPastTheNextOpenOrSaveAndRunningSavesKeepTheirFiles)
{
    const QString target = path(QStringLiteral("shows/show.json"));
    const QUrl show = url(QStringLiteral("shows/show.json"));
    EXPECT_EQ(save(show), std::nullopt);

    StalledSave killedBeforeOpen(target);
    killedBeforeOpen.kill();
    ASSERT_TRUE(QFile::exists(killedBeforeOpen.writing));
    StalledSave running(target);
    EXPECT_EQ(open(show), std::nullopt);
    EXPECT_EQ(listed(besides(target)), QFileInfo(running.writing).fileName().toStdString());

    StalledSave killedBeforeSave(target);
    killedBeforeSave.kill();
    rename(0, QStringLiteral("再次保存"));
    EXPECT_EQ(save(show), std::nullopt);
    EXPECT_EQ(readShowFile(target), engine->show());
    EXPECT_EQ(listed(besides(target)), QFileInfo(running.writing).fileName().toStdString());

    running.kill();
    EXPECT_EQ(save(show), std::nullopt);
    EXPECT_EQ(listed(besides(target)), "");
}

TEST_F(SaveFiles, RecoveryWritesKilledInTheLastRunAreClearedAtStart)
{
    engine.reset();
    {
        StalledSave recovery(recoveryPath());
        StalledSave parked(parkedPath());
    }
    EXPECT_EQ(besides(recoveryPath()).size(), 2) << listed(besides(recoveryPath()));
    engine = makeEngine(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return besides(recoveryPath()).isEmpty(); }, 10000));
    EXPECT_FALSE(engine->canRecoverProject());
}

// Every name the folder takes saves, up to the longest, and a killed save of it is cleared like any other.
TEST_F(SaveFiles, NamesUpToTheLongestTheFolderTakesSaveAndTheirLeftoversClear)
{
    for (const int length : {251, 255}) {
        // Three bytes a character, cut wherever the temporary name would cut it.
        const QString name = QStringLiteral("x").repeated((length - 5) % 3) +
                             QStringLiteral("演").repeated((length - 5) / 3) + QStringLiteral(".json");
        ASSERT_EQ(QFile::encodeName(name).size(), length);
        SCOPED_TRACE(length);
        const QString target = path(QStringLiteral("long/") + name);
        QDir().mkpath(path(QStringLiteral("long")));
        StalledSave killed(target);
        killed.kill();
        ASSERT_EQ(besides(target).size(), 1) << listed(besides(target));

        rename(0, QString::number(length));
        EXPECT_EQ(save(QUrl::fromLocalFile(target)), std::nullopt);
        EXPECT_EQ(engine->message(), QStringLiteral("已保存 · ") + name);
        EXPECT_EQ(readShowFile(target), engine->show());
        EXPECT_EQ(listed(besides(target)), "");
        QFile::remove(target);
    }
}
