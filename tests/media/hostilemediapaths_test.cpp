#include "cue.h"
#include "decodedstill.h"
#include "eventwait.h"
#include "gstplayer.h"
#include "hangguard.h"
#include "mediafailure.h"
#include "mediafile.h"
#include "mediaprobe.h"
#include "stilldecoder.h"
#include "stillimage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

// A FIFO, a device or a folder named as media is never opened: every reader answers at once as for a missing file
// (a hang ends the suite), and a player fails with a text saying why.
TEST(HostileMediaPaths, AFifoADeviceOrAFolderIsNeverOpened)
{
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("clip.mp4"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = folder.filePath(QStringLiteral("still.png"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    const QString directory = folder.filePath(QStringLiteral("folder.wav"));
    ASSERT_TRUE(QDir().mkdir(directory));

    for (const QString& path : {fifo, device, directory}) {
        SCOPED_TRACE(path.toStdString());
        const QUrl url = QUrl::fromLocalFile(path);
        HangGuard guard(path.toStdString());
        EXPECT_FALSE(isReadableFile(url));
        EXPECT_FALSE(mediaDuration(url));
        EXPECT_FALSE(videoFrameAt(url, 0));
        EXPECT_TRUE(readStillImage(path).isNull());
        EXPECT_TRUE(readStillThumbnail(path, 64).isNull());
        EXPECT_TRUE(decodedStill(StillDecoder::shared(), path).isNull());
        EXPECT_FALSE(isIncompleteIsoFile(path));
        Cue cue;
        cue.main = url;
        EXPECT_EQ(cue.missingFiles(), QList<QUrl>{url});

        GstPlayer player;
        player.load(url);
        ASSERT_TRUE(waitUntil([&] { return player.status() == PlayerStatus::failed; }));
        EXPECT_EQ(player.errorText(),
                  QStringLiteral("“%1”不是普通文件，不能作为素材读取").arg(QFileInfo(path).fileName()));
    }
}
