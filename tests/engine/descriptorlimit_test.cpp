#include "mediafixtures.h"
#include "projectfile.h"
#include "showlimits.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Screens named as the console names them, and a first cue with a clip of the video on every one at 0 s.
Show showWithScreens(qsizetype count, const QString& video)
{
    Show show = Show::makeDefault();
    QList<ScreenRole> screens;
    for (qsizetype i = 1; i <= count; ++i)
        screens.append({QStringLiteral("屏幕 %1").arg(i)});
    show.outputScreens = screens;
    const MediaAsset clip{QUuid::createUuid(), QUrl::fromLocalFile(video), AssetKind::video, 5.0};
    show.assets = QList<MediaAsset>{clip};
    QList<TimelineEvent> events;
    for (const ScreenRole& screen : screens) {
        TimelineEvent event;
        event.track = Track::main;
        event.outputScreen = screen;
        event.assetID = clip.id;
        events.append(event);
    }
    show.cues[0].timeline = events;
    return show;
}

struct Step
{
    QString status;
    qsizetype screens = 0;
    int descriptors = 0;
};

} // namespace

// The engine runs in a child whose descriptor limit is low: every step must end (a hang fails here, not in ctest's
// time-out), and what could not be served says why on the status line.
TEST(DescriptorLimit, ShowsOverTheScreenLimitAreRefusedAndPlayersShortOfDescriptorsSaySo)
{
    QTemporaryDir folder;
    const QString video = MediaFixtures::video({.seconds = 5});
    const QString oversized = folder.filePath(QStringLiteral("三百个屏幕.json"));
    const QString crowded = folder.filePath(QStringLiteral("满屏.json"));
    writeShowFile(showWithScreens(300, video), oversized, JsonFormat::pretty);
    writeShowFile(showWithScreens(kMostScreens, video), crowded, JsonFormat::pretty);

    const int limit = 256;
    QProcess child;
    child.start(QStringLiteral(DESCRIPTOR_LIMIT_PROCESS),
                {folder.filePath(QStringLiteral("recovery")), QString::number(limit), oversized, crowded});
    ASSERT_TRUE(child.waitForStarted(30000));
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished(10000);
        FAIL() << "the engine hung: " << child.readAllStandardOutput().toStdString();
    }
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();

    const QByteArray output = child.readAllStandardOutput();
    SCOPED_TRACE(output.toStdString());
    QMap<QString, Step> steps;
    for (const QByteArray& line : output.split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.size() == 4)
            steps.insert(fields[0], {fields[1], fields[2].toLongLong(), fields[3].toInt()});
    }
    ASSERT_EQ(steps.size(), 4);

    EXPECT_EQ(steps["oversized"].status,
              QStringLiteral("无法打开工程 · “三百个屏幕.json”有 300 个输出屏幕，超过上限 64 个"));
    EXPECT_EQ(steps["oversized"].screens, 1) << "the open show is kept";

    EXPECT_EQ(steps["crowded"].status, QStringLiteral("工程已打开"));
    EXPECT_EQ(steps["crowded"].screens, kMostScreens);
    // Pictures that show nothing hold no player pipeline.
    EXPECT_LT(steps["crowded"].descriptors, limit / 2);

    EXPECT_EQ(steps["played"].status, QStringLiteral("同时打开的文件过多 · 部分素材无法播放"));
    EXPECT_LT(steps["played"].descriptors, limit);

    EXPECT_EQ(steps["reopened"].status, QStringLiteral("工程已打开")) << "a project file still opens";
}
