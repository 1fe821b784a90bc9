#include "eventwait.h"
#include "settingswriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>
#include <unistd.h>

namespace {

// What the writer told of its failed writes, from its thread.
struct Failures
{
    std::mutex lock;
    QStringList keys;
    QString why;
    int count = 0;
};

// Fills the folder's file system until not one more block can be written.
void fill(const QString& folder)
{
    QFile filler(folder + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
    }
}

} // namespace

// A settings file that cannot be written, in a folder whose place is a plain file or on a disk that is full: each
// failed write is told with its keys and why, the switch's value goes again with the next write and lands once the
// place can be written, and an end before that names the settings that are not in the file.
TEST(SettingsWriter, AFailedWriteIsToldGoesAgainWithTheNextAndIsNamedAtTheEnd)
{
    QTemporaryDir folder;
    struct Place
    {
        const char* name;
        QString settings;
        std::function<void()> mend;
    };
    QList<Place> places;
    const QString plain = folder.filePath("plain");
    QFile(plain).open(QIODevice::WriteOnly);
    places.append({"its folder is a plain file", plain + "/settings.ini", [plain] {
                       QFile::remove(plain);
                       QDir().mkpath(plain);
                   }});
    // A full disk is a small tmpfs, which only root mounts.
    const QString full = folder.filePath("full");
    std::optional<QScopeGuard<std::function<void()>>> unmount;
    if (geteuid() == 0) {
        QDir().mkpath(full);
        ASSERT_EQ(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16k", "tmpfs", full}), 0);
        unmount.emplace([full] { QProcess::execute("umount", {"-l", full}); });
        fill(full);
        places.append({"a full disk", full + "/settings.ini", [full] { QFile::remove(full + "/filler"); }});
    }
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        auto failures = std::make_shared<Failures>();
        {
            SettingsWriter writer(place.settings);
            writer.setFailed([failures](const QStringList& keys, const QString& why) {
                std::lock_guard guard(failures->lock);
                failures->keys = keys;
                failures->why = why;
                ++failures->count;
            });
            writer.write("showsLumoTooltips", false);
            ASSERT_TRUE(waitUntil([&] { return writer.settled(); }));
            EXPECT_FALSE(writer.written());
            {
                std::lock_guard guard(failures->lock);
                EXPECT_EQ(failures->count, 1);
                EXPECT_EQ(failures->keys, QStringList{"showsLumoTooltips"});
                EXPECT_EQ(failures->why.toStdString(), ("无法写入 " + place.settings).toStdString());
            }
            testing::internal::CaptureStderr();
            writer.finishWriting(QDeadlineTimer(0));
            const std::string said = testing::internal::GetCapturedStderr();
            EXPECT_EQ(said,
                      ("Lumoria：设置 showsLumoTooltips 没有保存 · 无法写入 " + place.settings + "。\n").toStdString());
        }

        SettingsWriter writer(place.settings);
        writer.setFailed([failures](const QStringList&, const QString&) {
            std::lock_guard guard(failures->lock);
            ++failures->count;
        });
        writer.write("showsLumoTooltips", false);
        ASSERT_TRUE(waitUntil([&] { return writer.settled(); }));
        place.mend();
        writer.write("timelineSnapEnabled", false);
        ASSERT_TRUE(waitUntil([&] { return writer.written(); }));
        const QSettings stored(place.settings, QSettings::IniFormat);
        EXPECT_EQ(stored.value("showsLumoTooltips").toString(), "false") << "the failed value did not go again";
        EXPECT_EQ(stored.value("timelineSnapEnabled").toString(), "false");
        std::lock_guard guard(failures->lock);
        EXPECT_EQ(failures->count, 2);
    }
}
