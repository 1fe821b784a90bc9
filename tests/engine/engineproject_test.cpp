#include "enginefixture.h"
#include "hangguard.h"
#include "nofiledescriptors.h"
#include "projectfile.h"
#include "recoveryatexit.h"
#include "showlimits.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

static bool waitForFile(const QString& path, bool present = true)
{
    return QTest::qWaitFor([&] { return QFile::exists(path) == present; }, 10000);
}

static QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static void writtenSecondsAgo(const QString& path, int seconds)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
}

using ProjectFiles = EngineTest;

class RecoveryCopy : public EngineTest
{
  protected:
    // The rolling copy as it stands, or none while there is none whole.
    std::optional<Show> rolledCopy() const
    {
        try {
            return readShowFile(recoveryPath());
        } catch (const ProjectFileError&) {
            return std::nullopt;
        }
    }
};

TEST_F(ProjectFiles, SaveMarksSavedAndOpenOverSavedWorkReplacesTheShowAndParksNothing)
{
    rename(0, QStringLiteral("保存"));
    EXPECT_EQ(save(url(QStringLiteral("演出工程.json"))), std::nullopt);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_EQ(engine->projectURL(), url(QStringLiteral("演出工程.json")));
    EXPECT_EQ(engine->message(), QStringLiteral("已保存 · 演出工程.json"));
    EXPECT_EQ(engine->editHistory()->count(), 1);
    EXPECT_EQ(readShowFile(path(QStringLiteral("演出工程.json"))), engine->show());

    Show other;
    Cue only;
    other.cues = {only};
    writeShowFile(other, path(QStringLiteral("other.json")), JsonFormat::pretty);
    EXPECT_EQ(open(url(QStringLiteral("other.json"))), std::nullopt);
    EXPECT_EQ(engine->show(), other);
    EXPECT_EQ(engine->selected(), only.id);
    EXPECT_EQ(engine->message(), QStringLiteral("工程已打开"));
    EXPECT_EQ(engine->editHistory()->count(), 0);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->canRecoverProject());
    EXPECT_FALSE(QFile::exists(parkedPath()));
    EXPECT_FALSE(QFile::exists(recoveryPath()));

    writeShowFile(Show{}, path(QStringLiteral("empty.json")), JsonFormat::pretty);
    EXPECT_EQ(open(url(QStringLiteral("empty.json"))), std::nullopt);
    EXPECT_FALSE(engine->selected());
}

// Each file is refused with a text naming it and saying why, at once (a hang ends the suite), and the open show
// stays as it was.
TEST_F(ProjectFiles, HostileFilesAreRefusedAtOnceAndChangeNothing)
{
    rename(0, QStringLiteral("未保存"));
    const Show before = engine->show();
    Show marked = Show::makeDefault();
    marked.cues[0].name = QStringLiteral("MARK");
    const QByteArray valid = encodeShow(marked, JsonFormat::compact);
    auto withText = [&](const char* from, const QByteArray& to) {
        EXPECT_TRUE(valid.contains(from)) << from;
        return QByteArray(valid).replace(from, to);
    };
    const QString folderPath = folder.path();
    auto file = [&](const QByteArray& bytes) { return [=](const QString& at) { writeFile(at, bytes); }; };
    auto link = [](const char* target) { return [=](const QString& at) { QFile::link(target, at); }; };

    struct Row
    {
        const char* name;
        std::function<void(const QString&)> make;
        QString says;
    };
    const QList<Row> rows{
        {"zero.json", link("/dev/zero"), QStringLiteral("是设备，不是普通文件")},
        {"urandom.json", link("/dev/urandom"), QStringLiteral("是设备，不是普通文件")},
        {"fifo.json", [](const QString& at) { ::mkfifo(QFile::encodeName(at).constData(), 0600); },
         QStringLiteral("是命名管道，不是普通文件")},
        {"folder.json", [](const QString& at) { QDir().mkdir(at); }, QStringLiteral("是文件夹，不是普通文件")},
        {"huge.json",
         [](const QString& at) {
             QFile huge(at);
             ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kLargestProjectFile + (1 << 20)));
         },
         QStringLiteral("有 513.0 MB，超过工程文件的上限 512 MB")},
        {"missing.json", [](const QString&) {}, QStringLiteral("无法读取")},
        {"notjson.json", file("this is not json"), QStringLiteral("JSON 格式错误，第 1 字节处有非法的值")},
        {"nul.json", file(withText("MARK", QByteArray("MA\0RK", 5))),
         QStringLiteral("的文本中有未转义的控制字符 U+0000")},
        {"newline.json", file(withText("MARK", "MA\nRK")), QStringLiteral("未转义的控制字符 U+000A")},
        {"below64.json", file(withText("\"universe\":0", "\"universe\":-9223372036854775809")),
         QStringLiteral("的整数 -9223372036854775809 小于 64 位整数的最小值")},
        {"above64.json", file(withText("\"universe\":0", "\"universe\":9223372036854775808")),
         QStringLiteral("universe：应为 64 位以内的整数")},
        {"escapednul.json", file(withText("\"定格\"", "\"定\\u0000格\"")), QStringLiteral("未知的值 \"定\\u0000格\"")},
    };
    for (const Row& row : rows) {
        const QString name = QString::fromUtf8(row.name);
        SCOPED_TRACE(row.name);
        row.make(QDir(folderPath).filePath(name));
        HangGuard guard(std::string("opening ") + row.name);
        const QString error = open(url(name)).value_or(QStringLiteral("opened"));
        EXPECT_TRUE(error.contains(QStringLiteral("“%1”").arg(name))) << error.toStdString();
        EXPECT_TRUE(error.contains(row.says)) << error.toStdString();
        EXPECT_EQ(engine->show(), before);
        EXPECT_TRUE(engine->hasUnsavedChanges());
        EXPECT_EQ(engine->editHistory()->count(), 1);
        EXPECT_FALSE(engine->canRecoverProject());
        EXPECT_FALSE(engine->projectURL());
    }
    // The same bytes as a plain file, and through a link, open.
    writeFile(path(QStringLiteral("valid.json")), valid);
    QFile::link(path(QStringLiteral("valid.json")), path(QStringLiteral("link.json")));
    EXPECT_EQ(open(url(QStringLiteral("link.json"))), std::nullopt);
    EXPECT_EQ(engine->show(), marked);
}

TEST_F(ProjectFiles, FailedSaveChangesNothing)
{
    rename(0, QStringLiteral("未保存"));
    EXPECT_TRUE(save(QUrl::fromLocalFile(unwritablePath(QStringLiteral("show.json")))));
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->projectURL());
    EXPECT_TRUE(engine->message().startsWith(QStringLiteral("保存失败 · "))) << engine->message().toStdString();
}

// Running out of space is simulated with a file-size limit, which binds root too.
TEST_F(ProjectFiles, SaveOnAFullDiskKeepsThePreviousFile)
{
    EXPECT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    const QByteArray previous = contents(path(QStringLiteral("show.json")));
    rename(0, QStringLiteral("一个很长的名字").repeated(50));

    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = 256;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool threw = save(url(QStringLiteral("show.json"))).has_value();
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(contents(path(QStringLiteral("show.json"))), previous);
    EXPECT_TRUE(engine->hasUnsavedChanges());
    const QStringList copies = QDir(folder.path()).entryList({QStringLiteral("show.json*")}, QDir::Files);
    EXPECT_EQ(copies, QStringList{QStringLiteral("show.json")});
}

// The operator made the file read-only: the save is refused as writing in place would be, for root as well.
TEST_F(ProjectFiles, SaveOverAReadOnlyFileIsRefusedAndLeavesIt)
{
    const QString file = path(QStringLiteral("show.json"));
    EXPECT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    const QByteArray saved = contents(file);
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    rename(0, QStringLiteral("未保存"));
    EXPECT_EQ(save(url(QStringLiteral("show.json"))), QStringLiteral("无法写入“show.json”：没有访问权限"));
    EXPECT_EQ(contents(file), saved);
    const QFileDevice::Permissions forAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                            QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(file) & forAll, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("show.json*")}, QDir::Files),
              QStringList{QStringLiteral("show.json")});
}

// Every file a save writes opens again: a show that would pass the open limit is refused before the old file is
// touched. A small stand-in limit takes the place of the real one.
TEST_F(ProjectFiles, SaveRefusesWhatOpenWouldRefuseAndKeepsTheOldFile)
{
    const QString file = path(QStringLiteral("show.json"));
    const Show show = engine->show();
    const qint64 limit = encodeShow(show, JsonFormat::pretty).size();
    writeShowFile(show, file, JsonFormat::pretty, limit);
    EXPECT_EQ(readShowFile(file, limit), show);
    const QByteArray saved = contents(file);

    rename(0, engine->show().cues[0].name + QStringLiteral("长"));
    try {
        writeShowFile(engine->show(), file, JsonFormat::pretty, limit);
        ADD_FAILURE() << "saved";
    } catch (const ProjectFileError& error) {
        EXPECT_TRUE(error.text().startsWith(QStringLiteral("“show.json”将有"))) << error.text().toStdString();
        EXPECT_TRUE(error.text().contains(QStringLiteral("超过工程文件的上限"))) << error.text().toStdString();
    }
    EXPECT_EQ(contents(file), saved);
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("show.json*")}, QDir::Files),
              QStringList{QStringLiteral("show.json")});
    EXPECT_THROW(readShowFile(file, limit - 1), ProjectFileError);
}

// The errors people meet are told in the console's own words, wherever a file fails.
TEST_F(ProjectFiles, FileErrorsAreToldInChinese)
{
    rename(0, QStringLiteral("未保存"));
    EXPECT_EQ(open(url(QStringLiteral("missing.json"))), QStringLiteral("无法读取“missing.json”：文件或文件夹不存在"));
    std::optional<QString> saveError;
    {
        NoFileDescriptors none;
        saveError = save(url(QStringLiteral("show.json")));
    }
    EXPECT_EQ(saveError, QStringLiteral("无法写入“show.json”：同时打开的文件过多"));
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("show.json"))));
}

// A link where the parked copy goes that leads nowhere stops the open with the reason in the console's words.
TEST_F(RecoveryCopy, ParkedCopyBehindABrokenLinkIsRefusedInChinese)
{
    writeShowFile(Show::makeDefault(), path(QStringLiteral("next.json")), JsonFormat::pretty);
    writeFile(path(QStringLiteral("plain")), {});
    ASSERT_TRUE(QFile::link(path(QStringLiteral("loop")), path(QStringLiteral("loop"))));
    for (const auto& [through, says] : {std::pair{"loop/Parked.json", QStringLiteral("符号链接过多或成环")},
                                        std::pair{"plain/Parked.json", QStringLiteral("路径中有一段不是文件夹")}}) {
        SCOPED_TRACE(through);
        QFile::remove(parkedPath());
        ASSERT_TRUE(QFile::link(path(QString::fromUtf8(through)), parkedPath()));
        rename(0, QStringLiteral("未保存") + QString::fromUtf8(through));
        EXPECT_EQ(open(url(QStringLiteral("next.json"))), QStringLiteral("无法写入“Parked.json”：") + says);
        EXPECT_TRUE(engine->hasUnsavedChanges());
        EXPECT_FALSE(engine->canRecoverProject());
    }
}

// Nothing is written sooner than 0.7 s after an edit; a busy machine may stretch the 0.1 s between edits beyond that.
TEST_F(RecoveryCopy, TenEditsWriteOnceAfterTheLastAndSaveRemovesIt)
{
    QElapsedTimer sinceEdit;
    qint64 longestQuiet = 0;
    const auto check = [&](int edits) {
        longestQuiet = std::max(longestQuiet, sinceEdit.elapsed());
        if (QFile::exists(recoveryPath())) {
            EXPECT_GE(longestQuiet, 700) << "written after edit " << edits;
        }
    };
    for (int i = 0; i < 10; ++i) {
        rename(0, QString::number(i));
        sinceEdit.start();
        QTest::qWait(100);
        check(i);
    }
    QTest::qWait(450);
    check(10);
    ASSERT_TRUE(waitForFile(recoveryPath()));
    EXPECT_EQ(readShowFile(recoveryPath()), engine->show());

    EXPECT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    EXPECT_TRUE(waitForFile(recoveryPath(), false));
}

TEST_F(RecoveryCopy, EditAndUndoWriteNothingAndDropTheStaleCopy)
{
    writeFile(recoveryPath(), "{}");
    rename(0, QStringLiteral("A"));
    engine->editHistory()->undo();
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(recoveryPath()));
}

TEST_F(RecoveryCopy, NothingIsWrittenWithoutUnsavedChanges)
{
    engine->writeRecovery();
    EXPECT_FALSE(QFile::exists(recoveryPath()));
    rename(0, QStringLiteral("A"));
    engine->writeRecovery();
    EXPECT_EQ(readShowFile(recoveryPath()), engine->show());
}

// Qt ends the process with exit() when its display goes away, from whichever thread noticed: the edit still waiting
// for its delay is written then, after any older write already on its way.
TEST_F(RecoveryCopy, ExitFromAnyThreadWritesTheEditStillWaitingAndNothingOnceSaved)
{
    const auto exitOnAnotherThread = [] { std::thread(RecoveryAtExit::flushAll).join(); };
    rename(0, QStringLiteral("已写入"));
    ASSERT_TRUE(waitForFile(recoveryPath()));
    rename(0, QStringLiteral("还在等待"));
    exitOnAnotherThread();
    EXPECT_EQ(readShowFile(recoveryPath()), engine->show());

    rename(0, QStringLiteral("随即保存"));
    EXPECT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    ASSERT_TRUE(waitForFile(recoveryPath(), false));
    exitOnAnotherThread();
    EXPECT_FALSE(QFile::exists(recoveryPath()));
}

TEST_F(RecoveryCopy, OpenOverUnsavedWorkParksItUntilTakenBack)
{
    writeShowFile(Show::makeDefault(), path(QStringLiteral("next.json")), JsonFormat::pretty);
    rename(0, QStringLiteral("未保存的工作"));
    const Show parked = engine->show();
    EXPECT_EQ(open(url(QStringLiteral("next.json"))), std::nullopt);
    EXPECT_TRUE(engine->canRecoverProject());
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_EQ(readShowFile(parkedPath()), parked);

    rename(0, QStringLiteral("新工程的修改"));
    ASSERT_TRUE(waitForFile(recoveryPath()));
    EXPECT_EQ(save(url(QStringLiteral("next.json"))), std::nullopt);
    EXPECT_TRUE(engine->canRecoverProject());
    EXPECT_EQ(readShowFile(parkedPath()), parked);

    recover();
    EXPECT_EQ(engine->show(), parked);
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->canRecoverProject());
    EXPECT_FALSE(engine->projectURL());
    EXPECT_EQ(engine->editHistory()->count(), 0);
    EXPECT_EQ(engine->message(), QStringLiteral("已恢复未保存工程"));
    EXPECT_TRUE(waitForFile(parkedPath(), false)) << "the offered copy became the rolling copy";
    EXPECT_EQ(readShowFile(recoveryPath()), parked);
}

// Unsaved work parked by one open and never taken back is still on disk after the next: it moves aside, under a name
// of its own that the status line gives, and the newest parked work is the one on offer.
TEST_F(RecoveryCopy, ParksInARowKeepEveryEarlierPieceOfWorkAndNameWhereItWent)
{
    QList<Show> parked;
    QStringList setAside;
    for (const QString& name : {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}) {
        SCOPED_TRACE(name.toStdString());
        Show next = Show::makeDefault();
        next.cues[0].name = name + QStringLiteral("的文件");
        writeShowFile(next, path(name + QStringLiteral(".json")), JsonFormat::pretty);
        rename(0, name + QStringLiteral("的修改"));
        parked.append(engine->show());
        ASSERT_EQ(open(url(name + QStringLiteral(".json"))), std::nullopt);
        EXPECT_EQ(engine->show(), next);
        EXPECT_TRUE(engine->canRecoverProject());
        EXPECT_EQ(readShowFile(parkedPath()), parked.last());

        const QStringList asides = QDir(folder.path()).entryList({QStringLiteral("Parked-*.json")}, QDir::Files);
        ASSERT_EQ(asides.size(), parked.size() - 1) << asides.join(' ').toStdString();
        if (parked.size() == 1) {
            EXPECT_EQ(engine->message(), QStringLiteral("工程已打开"));
            continue;
        }
        const QString newest = *std::find_if(asides.begin(), asides.end(),
                                             [&](const QString& aside) { return !setAside.contains(aside); });
        setAside.append(newest);
        EXPECT_EQ(engine->message(), QStringLiteral("工程已打开 · 较早未恢复的工程已移到 ") + path(newest));
        for (int earlier = 0; earlier < parked.size() - 1; ++earlier)
            EXPECT_EQ(readShowFile(path(setAside[earlier])), parked[earlier]) << setAside[earlier].toStdString();
    }
    recover();
    EXPECT_EQ(engine->show(), parked.last());
    setAside.sort();
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("Parked-*.json")}, QDir::Files), setAside);
}

TEST_F(RecoveryCopy, WorkLostInACrashSurvivesEditsOfTheNextSessionAndIsKeptAfterRecovery)
{
    Show lost = Show::makeDefault();
    lost.cues[0].name = QStringLiteral("崩溃前的工作");
    Show older = Show::makeDefault();
    older.cues[0].name = QStringLiteral("更早搁置的工作");
    engine.reset();
    // Work parked before the crash is older than the work the crash left behind: the newer one is offered.
    writeShowFile(older, parkedPath(), JsonFormat::compact);
    writeShowFile(lost, recoveryPath(), JsonFormat::compact);
    writtenSecondsAgo(parkedPath(), 60);
    engine = makeEngine(true);
    QStringList messages{engine->message()};
    QObject::connect(engine.get(), &Engine::messageChanged, [&] { messages << engine->message(); });
    ASSERT_TRUE(engine->canRecoverProject());
    EXPECT_FALSE(engine->hasUnsavedChanges());

    // The crash work takes the offered copy's place and the older work moves aside, named on the status line; the
    // new session's edits are backed up as usual.
    const QStringList asides = QDir(folder.path()).entryList({QStringLiteral("Parked-*.json")}, QDir::Files);
    ASSERT_EQ(asides.size(), 1) << asides.join(' ').toStdString();
    EXPECT_EQ(readShowFile(path(asides[0])), older);
    rename(0, QStringLiteral("新的修改"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QFile::exists(recoveryPath()) && readShowFile(recoveryPath()) == engine->show(); }, 10000));
    EXPECT_EQ(messages, QStringList{QStringLiteral("较早未恢复的工程已移到 ") + path(asides[0])});
    recover();
    EXPECT_EQ(engine->show(), lost);
    // The new session's unsaved edit is parked in its place and offered in its turn.
    EXPECT_TRUE(engine->canRecoverProject());
    EXPECT_EQ(readShowFile(parkedPath()).cues[0].name, QStringLiteral("新的修改"));

    rename(1, QStringLiteral("继续"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rolledCopy() == engine->show(); }, 10000));
}

// A kill between the parking of work and the removal of its rolling copy leaves two copies at start: the same bytes
// are one piece of work, kept once; otherwise the newer is offered and the older moved aside.
TEST_F(RecoveryCopy, OfTwoCopiesLeftAtStartTheNewerIsOfferedAndTheOtherKeptUnlessTheyAreTheSame)
{
    Show older = Show::makeDefault();
    older.cues[0].name = QStringLiteral("较早的状态");
    Show newer = Show::makeDefault();
    newer.cues[0].name = QStringLiteral("搁置时的状态");
    for (const bool same : {true, false}) {
        SCOPED_TRACE(same ? "the same bytes" : "the parked copy newer");
        engine.reset();
        writeShowFile(newer, parkedPath(), JsonFormat::compact);
        writeShowFile(same ? newer : older, recoveryPath(), JsonFormat::compact);
        writtenSecondsAgo(recoveryPath(), 60);
        engine = makeEngine(true);
        EXPECT_TRUE(engine->canRecoverProject());
        EXPECT_EQ(readShowFile(parkedPath()), newer);
        EXPECT_FALSE(QFile::exists(recoveryPath()));
        const QStringList asides = QDir(folder.path()).entryList({QStringLiteral("Parked-*.json")}, QDir::Files);
        if (same) {
            EXPECT_TRUE(asides.isEmpty()) << asides.join(' ').toStdString();
            EXPECT_EQ(engine->message(), QStringLiteral("就绪"));
            continue;
        }
        ASSERT_EQ(asides.size(), 1) << asides.join(' ').toStdString();
        EXPECT_EQ(readShowFile(path(asides[0])), older);
        EXPECT_EQ(engine->message(), QStringLiteral("较早未恢复的工程已移到 ") + path(asides[0]));
    }
}

// Work parked by an open, then newer work lost in a crash: the next session offers the newer work, and a writable
// folder is never said to be unwritable, whatever lies in the parked copy's place.
TEST_F(RecoveryCopy, CrashWorkOverParkedWorkInAWritableFolderIsOfferedWithoutComplaint)
{
    writeShowFile(Show::makeDefault(), path(QStringLiteral("next.json")), JsonFormat::pretty);
    for (const bool parkedPlaceTaken : {false, true}) {
        SCOPED_TRACE(parkedPlaceTaken ? "a folder in the parked copy's place" : "parked work in its place");
        engine.reset();
        QFile::remove(recoveryPath());
        QDir(parkedPath()).removeRecursively();
        QFile::remove(parkedPath());
        engine = makeEngine(true);
        rename(0, QStringLiteral("搁置的工作"));
        ASSERT_EQ(open(url(QStringLiteral("next.json"))), std::nullopt);
        ASSERT_TRUE(QFile::exists(parkedPath()));
        rename(0, QStringLiteral("崩溃前的工作"));
        const Show lost = engine->show();
        ASSERT_TRUE(waitForFile(recoveryPath()));
        engine.reset();
        if (parkedPlaceTaken) {
            QFile::remove(parkedPath());
            ASSERT_TRUE(QDir().mkpath(parkedPath() + QStringLiteral("/kept")));
        }

        engine = makeEngine(true);
        QStringList messages{engine->message()};
        QObject::connect(engine.get(), &Engine::messageChanged, [&] { messages << engine->message(); });
        EXPECT_TRUE(engine->canRecoverProject());
        rename(1, QStringLiteral("新的修改"));
        QTest::qWait(1500);
        // Back to the saved show, as the console asks before it takes work back.
        engine->editHistory()->undo();
        recover();
        EXPECT_EQ(engine->show(), lost);
        EXPECT_EQ(engine->message(), QStringLiteral("已恢复未保存工程"));
        for (const QString& message : std::as_const(messages))
            EXPECT_FALSE(message.startsWith(QStringLiteral("恢复文件夹无法写入"))) << message.toStdString();
    }
}

TEST_F(RecoveryCopy, FailedRecoveryReportsAndChangesNothing)
{
    const Show before = engine->show();
    recover();
    EXPECT_TRUE(engine->message().startsWith(QStringLiteral("恢复失败 · ")));
    EXPECT_EQ(engine->show(), before);
    EXPECT_FALSE(engine->hasUnsavedChanges());
}

TEST_F(RecoveryCopy, UnwritableFolderIsReportedAndOpenThenKeepsTheUnsavedWork)
{
    writeShowFile(Show::makeDefault(), path(QStringLiteral("next.json")), JsonFormat::pretty);
    engine = makeEngine(true, unwritablePath(QStringLiteral("Lumoria")));
    rename(0, QStringLiteral("未保存"));
    const Show before = engine->show();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return engine->message().startsWith(QStringLiteral("自动恢复保存失败 · ")); }, 10000));

    EXPECT_TRUE(open(url(QStringLiteral("next.json"))));
    EXPECT_EQ(engine->show(), before);
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->canRecoverProject());
    EXPECT_EQ(engine->editHistory()->count(), 1);
}

TEST_F(RecoveryCopy, WorkLeftInAReadOnlyFolderIsOfferedWhereItLies)
{
    Show lost = Show::makeDefault();
    lost.cues[0].name = QStringLiteral("只读文件夹里的工作");
    const QString readOnly = path(QStringLiteral("readonly"));
    const QString leftover = readOnly + QStringLiteral("/Recovery.json");
    ASSERT_TRUE(QDir().mkpath(readOnly));
    writeShowFile(lost, leftover, JsonFormat::compact);
    // Root writes through the permissions: a folder where the parked copy goes stops the move all the same, and the
    // status line names that folder instead.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_TRUE(QDir().mkpath(readOnly + QStringLiteral("/Parked.json/kept")));
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    const auto writable =
        qScopeGuard([&] { QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    engine = makeEngine(true, readOnly);
    EXPECT_TRUE(engine->canRecoverProject());
    EXPECT_TRUE(engine->message().startsWith(root ? QStringLiteral("恢复副本无法移到 ") + readOnly + "/Parked.json"
                                                  : QStringLiteral("恢复文件夹无法写入 · ") + readOnly))
        << engine->message().toStdString();

    // Edits of the new session leave the offered work alone.
    rename(0, QStringLiteral("新的修改"));
    QTest::qWait(1500);
    EXPECT_EQ(readShowFile(leftover), lost);
    // Taken back over the edit, the work would leave the edit nowhere to go: refused, and both stay.
    const Show edited = engine->show();
    EXPECT_TRUE(recover().has_value()) << "the recover was refused";
    EXPECT_EQ(engine->show(), edited);
    EXPECT_TRUE(engine->canRecoverProject());
    EXPECT_EQ(readShowFile(leftover), lost);
    engine->editHistory()->undo();
    recover();
    EXPECT_EQ(engine->message(), QStringLiteral("已恢复未保存工程"));
    EXPECT_EQ(engine->show(), lost);
    EXPECT_FALSE(engine->canRecoverProject());
    EXPECT_TRUE(engine->hasUnsavedChanges());
}

TEST_F(ProjectFiles, RelinkFindsMovedFilesByNameInOneStep)
{
    QDir(folder.path()).mkdir(QStringLiteral("moved"));
    for (const QString name : {"a.png", "b.mp4", "c.wav"})
        writeFile(path(QStringLiteral("moved/") + name), "x");
    edit([&](Show& show) {
        show.assets = QList<MediaAsset>{asset(url(QStringLiteral("gone/a.png")), AssetKind::image),
                                        asset(url(QStringLiteral("gone/b.mp4")), AssetKind::video)};
        show.cues[1].audio = url(QStringLiteral("gone/c.wav"));
    });
    const Show start = engine->show();
    const int steps = engine->editHistory()->count();

    engine->relinkMissingAssets(url(QStringLiteral("moved")));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("已重新定位 3 项素材引用"); }))
        << engine->message().toStdString();
    EXPECT_EQ((*engine->show().assets)[0].url, url(QStringLiteral("moved/a.png")));
    EXPECT_EQ(engine->show().cues[1].audio, url(QStringLiteral("moved/c.wav")));
    EXPECT_EQ(engine->editHistory()->count(), steps + 1);
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), start);

    engine->editHistory()->redo();
    engine->relinkMissingAssets(url(QStringLiteral("moved")));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("未找到同名的缺失素材"); }));
    EXPECT_EQ(engine->editHistory()->count(), steps + 1);
}

// A cue renamed and a file added while the disk answers stay, and the references of the show as it is then are
// repointed, the added one included.
TEST_F(ProjectFiles, RelinkLandsOnTheShowAsEditedMeanwhile)
{
    QDir(folder.path()).mkdir(QStringLiteral("moved"));
    writeFile(path(QStringLiteral("moved/a.png")), "x");
    edit([&](Show& show) {
        show.assets = QList<MediaAsset>{asset(url(QStringLiteral("gone/a.png")), AssetKind::image)};
    });

    engine->relinkMissingAssets(url(QStringLiteral("moved")));
    ASSERT_EQ(engine->message(), QStringLiteral("正在重新定位缺失素材…"));
    Show edited = engine->show();
    edited.cues[0].name = QStringLiteral("改过的暖场");
    edited.cues[1].audio = url(QStringLiteral("gone/a.png"));
    engine->setShow(edited);
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("已重新定位 2 项素材引用"); }))
        << engine->message().toStdString();
    EXPECT_EQ(engine->show().cues[0].name, QStringLiteral("改过的暖场"));
    EXPECT_EQ((*engine->show().assets)[0].url, url(QStringLiteral("moved/a.png")));
    EXPECT_EQ(engine->show().cues[1].audio, url(QStringLiteral("moved/a.png")));
}

// A show at the limits saves and opens again; one screen or one lane more is refused with the reason, and the open
// show stays. The console's own edits stop at the limits, so it never writes a file it would refuse.
TEST_F(ProjectFiles, ShowsOverTheScreenOrLaneLimitAreRefusedWithTheReason)
{
    Show atLimits = Show::makeDefault();
    QList<ScreenRole> screens;
    for (qsizetype i = 1; i <= kMostScreens; ++i)
        screens.append({QStringLiteral("屏幕 %1").arg(i)});
    atLimits.outputScreens = screens;
    QList<TimelineLane> lanes;
    for (qint64 layer = 1; layer < kMostLanesPerCue; ++layer)
        lanes.append({Track::music, layer, std::nullopt});
    atLimits.cues[1].extraLanes = lanes;
    TimelineEvent message;
    message.track = Track::message;
    atLimits.cues[1].timeline = QList<TimelineEvent>{message};
    writeShowFile(atLimits, path(QStringLiteral("at.json")), JsonFormat::pretty);
    ASSERT_EQ(open(url(QStringLiteral("at.json"))), std::nullopt);
    ASSERT_EQ(engine->show(), atLimits);
    engine->addScreen();
    EXPECT_EQ(engine->message(), QStringLiteral("最多 64 个输出屏幕"));
    EXPECT_EQ(engine->show(), atLimits);

    Show moreLanes = atLimits;
    moreLanes.cues[1].timeline->append(message);
    moreLanes.cues[1].timeline->last().layer = 2;
    Show moreScreens = atLimits;
    moreScreens.outputScreens->append({QStringLiteral("屏幕 65")});
    writeShowFile(moreLanes, path(QStringLiteral("lanes.json")), JsonFormat::pretty);
    writeShowFile(moreScreens, path(QStringLiteral("screens.json")), JsonFormat::compact);
    rename(0, QStringLiteral("未保存"));
    const Show before = engine->show();
    for (const auto& [name, says] :
         {std::pair{QStringLiteral("lanes.json"),
                    QStringLiteral("“lanes.json”节目“开场”有 1001 条轨道，超过每个节目的上限 1000 条")},
          std::pair{QStringLiteral("screens.json"),
                    QStringLiteral("“screens.json”有 65 个输出屏幕，超过上限 64 个")}}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(open(url(name)), says);
        EXPECT_EQ(engine->show(), before);
        EXPECT_TRUE(engine->hasUnsavedChanges());
    }
}
