#include "editorprocess/editedshow.h"
#include "enginefixture.h"
#include "projectfile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <signal.h>

namespace {

// Three hundred cues of ten communication events each: a recovery copy of some 400 kB, written every few edits.
Show largeShow()
{
    Show show = Show::makeDefault();
    show.cues.clear();
    for (int c = 0; c < 300; ++c) {
        Cue cue;
        cue.name = QStringLiteral("第 %1 场").arg(c + 1);
        cue.timeline = QList<TimelineEvent>();
        for (int e = 0; e < 10; ++e) {
            TimelineEvent event;
            event.track = Track::message;
            event.time = e * 0.5;
            event.host = QStringLiteral("192.168.10.%1").arg(e + 1);
            event.port = 9000;
            event.payload = QStringLiteral("scene %1 go %2").arg(c).arg(e);
            cue.timeline->append(event);
        }
        show.cues.append(cue);
    }
    return show;
}

class RecoveryKill : public EngineTest
{
  protected:
    // A show found on disk must be whole and equal to a state the editing process held in one of its lives.
    void expectHeldShow(const Show& show, qint64 lives, const char* what)
    {
        EXPECT_GE(lifeOf(show), 1) << what;
        EXPECT_LE(lifeOf(show), lives) << what;
        EXPECT_TRUE(show == editedShow(base, lifeOf(show), editOf(show)))
            << what << " is not a show the process held (life " << lifeOf(show) << ", edit " << editOf(show) << ")";
    }

    Show base = largeShow();
};

} // namespace

TEST_F(RecoveryKill, WorkKilledAtAnyMomentIsOfferedWholeAndSavedFilesReadBackWhole)
{
    engine.reset();
    QTemporaryDir work;
    const QString basePath = work.filePath(QStringLiteral("base.json"));
    const QString projectPath = work.filePath(QStringLiteral("演出.json"));
    writeShowFile(base, basePath, JsonFormat::compact);

    for (qint64 life = 1; life <= 50; ++life) {
        QProcess editor;
        editor.start(QStringLiteral(SHOW_EDITOR_PROCESS),
                     {folder.path(), basePath, projectPath, QString::number(life)});
        ASSERT_TRUE(editor.waitForStarted(30000));
        while (!editor.canReadLine())
            ASSERT_TRUE(editor.waitForReadyRead(30000)) << editor.readAllStandardError().toStdString();
        ASSERT_EQ(editor.readLine().trimmed(), "ready");
        // What the last life left unsaved is on offer in this one, and this one never takes it back.
        const std::optional<Show> unrecovered =
            QFile::exists(parkedPath()) ? std::optional(readShowFile(parkedPath())) : std::nullopt;

        QThread::msleep(QRandomGenerator::global()->bounded(60));
        ASSERT_EQ(editor.state(), QProcess::Running) << editor.readAllStandardError().toStdString();
        ::kill(pid_t(editor.processId()), SIGKILL);
        ASSERT_TRUE(editor.waitForFinished(30000));

        engine = makeEngine(true);
        if (unrecovered) {
            // Still on disk beside this life's work, and named where it went.
            const QStringList asides = QDir(folder.path()).entryList({QStringLiteral("Parked-*.json")}, QDir::Files);
            const auto kept = std::find_if(asides.begin(), asides.end(), [&](const QString& aside) {
                return readShowFile(path(aside)) == *unrecovered;
            });
            ASSERT_NE(kept, asides.end()) << "life " << life << ": the work of the life before was lost";
            EXPECT_EQ(engine->message(), QStringLiteral("较早未恢复的工程已移到 ") + path(*kept)) << "life " << life;
        }
        if (engine->canRecoverProject()) {
            EXPECT_EQ(recover(), std::nullopt);
            expectHeldShow(engine->show(), life, "the offered work");
            EXPECT_TRUE(engine->hasUnsavedChanges());
        } else {
            // Killed after a save and before the next recovery copy: this life's saved project holds the work.
            ASSERT_TRUE(QFile::exists(projectPath)) << "life " << life << ": nothing offered and nothing saved";
            EXPECT_EQ(lifeOf(readShowFile(projectPath)), life) << "nothing offered after the kill of life " << life;
        }
        if (QFile::exists(projectPath))
            expectHeldShow(readShowFile(projectPath), life, "the saved project");
        engine.reset();
        if (HasFailure())
            return;
    }
    // Whatever the kills left beside the copies and the project goes at the next start and the next save.
    engine = makeEngine(true);
    EXPECT_EQ(save(QUrl::fromLocalFile(projectPath)), std::nullopt);
    EXPECT_EQ(QDir(work.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString(), "base.json 演出.json");
    const QStringList copies{QStringLiteral("Parked.json"), QStringLiteral("Recovery.json")};
    const QRegularExpression setAside(QStringLiteral("^Parked-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\.json$"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
            return std::all_of(left.begin(), left.end(), [&](const QString& name) {
                return copies.contains(name) || setAside.match(name).hasMatch();
            });
        },
        10000))
        << QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    for (const QString& aside : QDir(folder.path()).entryList({QStringLiteral("Parked-*.json")}, QDir::Files))
        expectHeldShow(readShowFile(path(aside)), 50, "work moved aside");
}
