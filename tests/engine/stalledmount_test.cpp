#include "enginefixture.h"
#include "projectfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

// The show's folder on a real FUSE mount that stops answering, as a network share does: the kernel holds every
// question about it until the file system answers. Skipped where FUSE or python3-fusepy is missing.
class StalledMount : public EngineTest
{
  protected:
    void SetUp() override
    {
        if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/lib/python3/dist-packages/fusepy.py"))
            GTEST_SKIP() << "no FUSE here";
        ASSERT_TRUE(QDir().mkpath(backing) && QDir().mkpath(mount));
        daemon.start("/usr/bin/python3", {LUMO_STALLABLE_FS, backing, mount, control});
        if (!daemon.waitForStarted() || !waitUntil([&] { return mounted(); }, 10000))
            GTEST_SKIP() << "cannot mount: " << daemon.readAllStandardError().toStdString();
        EngineTest::SetUp();
    }
    void TearDown() override
    {
        QFile::remove(control);
        if (mounted())
            QProcess::execute("/usr/bin/umount", {"-l", mount});
        daemon.kill();
        daemon.waitForFinished();
    }

    bool mounted() const
    {
        QFile mounts("/proc/self/mounts");
        return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(" " + QFile::encodeName(mount) + " ");
    }
    void stall() { ASSERT_TRUE(QFile(control).open(QIODevice::WriteOnly)); }
    QStringList errors(const Cue& cue) const
    {
        QStringList texts;
        for (const Engine::PlaybackIssue& issue : engine->playbackIssues({cue}, {}, false))
            texts.append(issue.text);
        return texts;
    }

    const QString backing = folder.filePath("backing");
    const QString mount = folder.filePath("share");
    const QString control = folder.filePath("stall");
    QProcess daemon;
};

TEST_F(StalledMount, CheckGoSaveAndOpenAnswerWhileTheShareHangs)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), backing + "/logo.png"));
    const QUrl logo = QUrl::fromLocalFile(mount + "/logo.png");
    edit([&](Show& show) {
        show.cues[0].main = logo;
        show.cues[1].main = stillFile(Qt::green);
    });
    EXPECT_EQ(errors(cue(0)), QStringList{}) << "the share answers";
    engine->saveProject(QUrl::fromLocalFile(mount + "/show.json"));

    stall();
    // The cue that plays next is asked again every second: the share is found stalled before GO.
    EXPECT_TRUE(waitUntil([&] { return errors(cue(0)) == QStringList{QStringLiteral("素材无响应 · logo.png")}; }));
    QElapsedTimer clock;
    clock.start();
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("素材无响应 · logo.png"));
    EXPECT_FALSE(engine->current());
    EXPECT_LT(clock.elapsed(), 1000) << "the check or GO waited on the share";

    engine->take(cue(1), false, std::nullopt);
    ASSERT_TRUE(engine->current());
    EXPECT_EQ(engine->current()->id, cue(1).id) << "local media plays on";

    for (const auto& [what, work] : std::initializer_list<std::pair<const char*, std::function<void()>>>{
             {"save", [&] { engine->saveProject(QUrl::fromLocalFile(mount + "/show.json")); }},
             {"open", [&] { engine->openProject(QUrl::fromLocalFile(mount + "/show.json")); }}}) {
        SCOPED_TRACE(what);
        clock.restart();
        try {
            work();
            ADD_FAILURE() << "answered while the share hangs";
        } catch (const ProjectFileError& error) {
            EXPECT_TRUE(error.text().contains(QStringLiteral("没有响应"))) << error.text().toStdString();
        }
        EXPECT_LT(clock.elapsed(), 5000);
    }
    EXPECT_EQ(engine->current()->id, cue(1).id) << "a failed open leaves the show as it was";

    QFile::remove(control);
    EXPECT_TRUE(waitUntil([&] { return errors(cue(0)).isEmpty(); }));
}
