#include "asidethreads.h"
#include "assetrowdelegate.h"
#include "assetthumbnails.h"
#include "eventwait.h"
#include "heartbeat.h"
#include "lumostyle.h"
#include "mediafiles.h"
#include "mediafixtures.h"
#include "medialibrarypanel.h"
#include "pnglayouts.h"
#include "shownfileswatch.h"
#include "stallablemount.h"
#include "timelineassetdrag.h"
#include "timelinefixture.h"

#include <QApplication>
#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <unistd.h>

namespace {
// A JPEG of a landscape picture whose EXIF orientation (6) says it is to be turned a quarter to the right.
// Written whole under a name of its own content: tests running beside each other read it while another makes it.
QString rotatedJpeg()
{
    QImage landscape(80, 40, QImage::Format_RGB32);
    landscape.fill(Qt::blue);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    landscape.save(&buffer, "JPEG");
    // APP1 "Exif", little-endian TIFF header, one IFD entry: Orientation (0x0112), SHORT, 1, value 6.
    const QByteArray tiff = QByteArray::fromHex("49492a0008000000"
                                                "0100"
                                                "120103000100000006000000"
                                                "00000000");
    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(app1.size()) + 2;
    app1.prepend(char(length & 0xff)).prepend(char(length >> 8)).prepend("\xff\xe1", 2);
    jpeg.insert(2, app1);
    return MediaFixtures::file(QStringLiteral("exif-orientation-6.jpg"), jpeg);
}

// A PNG whose header claims 30000 × 30000 pixels (3.6 GB decoded) and that holds no picture data.
QString hugePng()
{
    QByteArray header;
    QDataStream stream(&header, QIODevice::WriteOnly);
    stream << quint32(30000) << quint32(30000) << quint8(8) << quint8(2) << quint8(0) << quint8(0) << quint8(0);
    return MediaFixtures::file(QStringLiteral("huge.png"), QByteArray::fromHex("89504e470d0a1a0a") +
                                                               MediaFixtures::pngChunk("IHDR", header) +
                                                               MediaFixtures::pngChunk("IEND", {}));
}

MediaAsset entry(const QString& path, AssetKind kind)
{
    MediaAsset made;
    made.url = QUrl::fromLocalFile(path);
    made.kind = kind;
    return made;
}
} // namespace

class MediaLibraryPanelTest : public TimelineTest
{
  protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        applyLumoStyle(*qApp);
        panel = std::make_unique<MediaLibraryPanel>(*model);
        panel->resize(300, 520);
        panel->show();
    }
    void TearDown() override
    {
        panel.reset();
        TimelineTest::TearDown();
    }
    // Waits for the still of a file, as the row would show it: the row shows its symbol until the file's answer
    // and then its still have come.
    std::optional<QImage> stillOf(const MediaAsset& asset)
    {
        waitUntil(
            [&] {
                return panel->thumbnails().still(asset) ||
                       (panel->thumbnails().pending() == 0 && !engine->mediaFiles().onTheWay(asset.url) &&
                        engine->mediaFiles().state(asset.url, FileDepth::stamp) == FileState::answered);
            },
            20000);
        return panel->thumbnails().still(asset);
    }
    // The thumbnail as a row draws it, on a black ground.
    static QImage drawnThumbnail(AssetKind kind, const std::optional<QImage>& still)
    {
        QImage canvas(AssetRowDelegate::kThumbnailSize, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        AssetRowDelegate::paintThumbnail(painter, QRectF(canvas.rect()), kind, still);
        return canvas;
    }

    std::unique_ptr<MediaLibraryPanel> panel;
};

TEST_F(MediaLibraryPanelTest, ADropOfFilesFromOutsideImportsThemAndOtherDropsAreRefused)
{
    EXPECT_TRUE(panel->emptyText()->isVisible());
    EXPECT_FALSE(panel->removeButton()->isEnabled());

    QMimeData files;
    files.setUrls({stillFile(Qt::red), audioFile(QStringLiteral("drop.wav")), QUrl::fromLocalFile(folder.path())});
    EXPECT_TRUE(panel->acceptDrop(&files));
    awaitImport();
    ASSERT_EQ(model->cue().assets().size(), 2);
    EXPECT_EQ(model->view().note(), QStringLiteral("素材库 · 2 项 · 跳过 1 个不支持或无法读取的文件"));
    EXPECT_EQ(engine->message(), model->view().note());
    EXPECT_FALSE(panel->emptyText()->isVisible());
    EXPECT_EQ(panel->list()->model()->rowCount(), 2);
    // The last file handled is selected, and can be removed.
    EXPECT_EQ(panel->list()->selectionModel()->selectedIndexes().value(0).row(), 1);
    EXPECT_TRUE(panel->removeButton()->isEnabled());

    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    EXPECT_FALSE(panel->acceptDrop(&text));
    EXPECT_EQ(model->cue().assets().size(), 2);
}

TEST_F(MediaLibraryPanelTest, TheButtonsImportChosenFilesAndRemoveTheSelectedEntry)
{
    QList<QUrl> chosen;
    panel->setFilesChooser([&](QWidget*, std::function<void(const QList<QUrl>&)> answer) {
        if (!chosen.isEmpty())
            answer(chosen);
    });
    panel->importButton()->click();
    awaitImport();
    EXPECT_TRUE(model->cue().assets().isEmpty()) << "a cancelled panel changes nothing";
    EXPECT_EQ(undoSteps(), 0);

    chosen = {stillFile(Qt::red), stillFile(Qt::blue)};
    panel->importButton()->click();
    awaitImport();
    ASSERT_EQ(model->cue().assets().size(), 2);
    EXPECT_EQ(model->selection().assetID(), model->cue().assets()[1].id);

    QListView& list = *panel->list();
    list.selectionModel()->select(list.model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(model->selection().assetID(), model->cue().assets()[0].id);
    const QUrl kept = model->cue().assets()[1].url;
    panel->removeButton()->click();
    ASSERT_EQ(model->cue().assets().size(), 1);
    EXPECT_EQ(model->cue().assets()[0].url, kept);
    EXPECT_FALSE(panel->removeButton()->isEnabled());
}

TEST_F(MediaLibraryPanelTest, SearchIgnoresCaseAndFolderAndKeepsTheEmptyTextForAnEmptyLibrary)
{
    addAsset(QUrl::fromLocalFile(QStringLiteral("/shows/opening/logo.png")), AssetKind::image);
    addAsset(QUrl::fromLocalFile(QStringLiteral("/shows/opening/intro.mp4")), AssetKind::video);
    const struct
    {
        QString search;
        int rows;
    } cases[] = {
        {QString(), 2}, {QStringLiteral("LOGO"), 1}, {QStringLiteral("opening"), 0}, {QStringLiteral(".mp"), 1}};
    for (const auto& c : cases) {
        panel->searchField()->setText(c.search);
        emit panel->searchField()->textEdited(c.search);
        EXPECT_EQ(panel->list()->model()->rowCount(), c.rows) << c.search.toStdString();
        EXPECT_FALSE(panel->emptyText()->isVisible());
    }
    // The missing files are marked.
    EXPECT_EQ(AssetRowDelegate::caption(model->cue().assets()[1], engine->mediaFiles()),
              QStringLiteral("视频 · 文件缺失"));
}

TEST_F(MediaLibraryPanelTest, RowsCarryTheirEntryOntoLanesOnlyWhileACueIsEdited)
{
    const MediaAsset picture = addImage();
    QAbstractItemModel& rows = *panel->list()->model();
    ASSERT_TRUE(rows.flags(rows.index(0, 0)) & Qt::ItemIsDragEnabled);
    std::unique_ptr<QMimeData> data(rows.mimeData({rows.index(0, 0)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(TimelineAssetDrag::assetID(*data), picture.id);
    // Nothing of it is offered to other programs.
    EXPECT_TRUE(data->formats().isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(data->data(TimelineAssetDrag::kMimeType)).object().keys(),
              QStringList{QStringLiteral("assetID")});

    engine->setSelected(std::nullopt);
    EXPECT_FALSE(rows.flags(rows.index(0, 0)) & Qt::ItemIsDragEnabled);
    EXPECT_EQ(rows.mimeData({rows.index(0, 0)}), nullptr);
}

TEST_F(MediaLibraryPanelTest, PicturesAreReducedUprightAndLetterboxed)
{
    const MediaAsset wide = entry(MediaFixtures::png({4000, 100}, Qt::green), AssetKind::image);
    const std::optional<QImage> still = stillOf(wide);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->width(), AssetThumbnails::kPictureMaxPixels);
    const QImage drawn = drawnThumbnail(AssetKind::image, still);
    EXPECT_GT(qGreen(drawn.pixel(31, 18)), 200);
    EXPECT_LT(qGreen(drawn.pixel(31, 8)), 60) << "the band above the picture shows the background";
    EXPECT_GT(qGreen(drawn.pixel(2, 18)), 200) << "the whole width is used";

    const std::optional<QImage> turned = stillOf(entry(rotatedJpeg(), AssetKind::image));
    ASSERT_TRUE(turned);
    EXPECT_LT(turned->width(), turned->height());

    EXPECT_FALSE(stillOf(entry(MediaFixtures::file(QStringLiteral("fake.png"), "text"), AssetKind::image)));
    EXPECT_FALSE(stillOf(entry(hugePng(), AssetKind::image)));

    // A missing file gets its still once it is back.
    const MediaAsset returning = entry(folder.filePath(QStringLiteral("back.png")), AssetKind::image);
    EXPECT_FALSE(stillOf(returning));
    QFile::copy(wide.url.toLocalFile(), returning.url.toLocalFile());
    EXPECT_TRUE(stillOf(returning));
    EXPECT_FALSE(stillOf(entry(MediaFixtures::wav(), AssetKind::audio)));
}

// A still being read counts as work aside from the moment it is asked, though its read waits for a pool thread:
// a program that ends at once ends without tearing its libraries down under it. The share answers
// late, so that every read is still under way when the count is read.
TEST_F(MediaLibraryPanelTest, AStillCountsAsWorkAsideFromTheMomentItIsAsked)
{
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    share.delay(0.02);
    for (int round = 0; round < 4; ++round) {
        const QString name = QStringLiteral("pic%1.png").arg(round);
        ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::red), share.backing() + "/" + name));
        const MediaAsset picture = entry(share.mount() + "/" + name, AssetKind::image);
        engine->mediaFiles().refresh({picture.url}, FileDepth::stamp);
        ASSERT_TRUE(waitUntil(
            [&] { return engine->mediaFiles().state(picture.url, FileDepth::stamp) == FileState::answered; }));
        ASSERT_TRUE(AsideThreads::waitForUnwaited(5000)) << "round " << round;
        EXPECT_FALSE(panel->thumbnails().still(picture));
        EXPECT_FALSE(AsideThreads::waitForUnwaited(0)) << "round " << round;
        EXPECT_TRUE(stillOf(picture)) << "round " << round;
    }
}

TEST_F(MediaLibraryPanelTest, VideosShowTheirFirstFrameAndANewFileClearsTheOldStillAtOnce)
{
    MediaAsset clip = entry(MediaFixtures::video({{320, 180}, 1, 30, VideoCodec::h264, false, QStringLiteral("red")}),
                            AssetKind::video);
    const std::optional<QImage> frame = stillOf(clip);
    ASSERT_TRUE(frame);
    EXPECT_LE(frame->width(), AssetThumbnails::kVideoMaxSize.width());
    EXPECT_GT(qRed(frame->pixel(frame->rect().center())), 200);

    clip.url = QUrl::fromLocalFile(MediaFixtures::unknownCodecVideo());
    EXPECT_FALSE(panel->thumbnails().still(clip));
    EXPECT_FALSE(stillOf(clip)) << "an undecodable video keeps its symbol";
}

TEST_F(MediaLibraryPanelTest, AVideoWhosePictureStartsAfterItsSoundShowsItsFirstPicture)
{
    const MediaAsset late = entry(
        MediaFixtures::video({.size = {320, 180}, .audio = true, .pattern = QStringLiteral("red"), .videoStart = 2}),
        AssetKind::video);
    const std::optional<QImage> frame = stillOf(late);
    ASSERT_TRUE(frame);
    EXPECT_GT(qRed(frame->pixel(frame->rect().center())), 200);
}

TEST_F(MediaLibraryPanelTest, TenEntriesOfEveryKind)
{
    QList<QUrl> files;
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i)
        files.append(QUrl::fromLocalFile(MediaFixtures::png({640 + 200 * i, 360 + 300 * (i % 2)}, colours[i])));
    files.append(QUrl::fromLocalFile(MediaFixtures::png({4000, 100}, Qt::green)));
    files.append(QUrl::fromLocalFile(rotatedJpeg()));
    files.append(QUrl::fromLocalFile(MediaFixtures::video()));
    files.append(QUrl::fromLocalFile(MediaFixtures::unknownCodecVideo()));
    files.append(QUrl::fromLocalFile(MediaFixtures::wav()));
    model->library().addAssets(files);
    awaitImport();
    addAsset(QUrl::fromLocalFile(QStringLiteral("/shows/gone/a very long name of a sound file that went away.wav")),
             AssetKind::audio);
    ASSERT_EQ(model->cue().assets().size(), 10);
    panel->resize(300, 560);
    for (const MediaAsset& asset : model->cue().assets())
        panel->thumbnails().still(asset);
    waitUntil([&] { return panel->thumbnails().pending() == 0; }, 30000);
    model->view().setDropTargeted(true);
    EXPECT_TRUE(panel->showsDropBorder());
    QDir().mkpath(LUMO_TEST_SHOTS);
    panel->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/media-library.png"));
}

// A card of one colour or two, whatever way its file stores its pixels, shows its colours in its row: palettes of one
// to eight bits (what image tools write for a plain card), grey of one and sixteen bits, sixteen-bit colour with alpha.
TEST_F(MediaLibraryPanelTest, CardsShowTheirColoursWhateverWayTheirPixelsAreStored)
{
    const QList<PngLayout> layouts = {
        {PngLayout::palette, 1},          {PngLayout::palette, 2},     {PngLayout::palette, 4},
        {PngLayout::palette, 8, true},    {PngLayout::grey, 1},        {PngLayout::grey, 16},
        {PngLayout::greyAlpha, 16, true}, {PngLayout::rgba, 16, true}, {PngLayout::rgb, 8},
    };
    QList<QUrl> files;
    for (const PngLayout& layout : layouts)
        files.append(QUrl::fromLocalFile(pngInLayout(layout, {1920, 1080})));
    model->library().addAssets(files);
    awaitImport();
    ASSERT_EQ(model->cue().assets().size(), layouts.size());
    for (int i = 0; i < layouts.size(); ++i) {
        const PngLayout& layout = layouts[i];
        SCOPED_TRACE(layout.name().toStdString());
        const std::optional<QImage> still = stillOf(model->cue().assets()[i]);
        ASSERT_TRUE(still);
        const QImage drawn = drawnThumbnail(AssetKind::image, still);
        // The first band is opaque in every layout; the last is seen through in the transparent ones.
        const int bands = layout.bands();
        const QColor first = drawn.pixelColor(drawn.width() / (2 * bands), drawn.height() / 2);
        const QColor wanted = layout.band(0);
        EXPECT_NEAR(first.red(), wanted.red(), 16);
        EXPECT_NEAR(first.green(), wanted.green(), 16);
        EXPECT_NEAR(first.blue(), wanted.blue(), 16);
        const QColor second = drawn.pixelColor(3 * drawn.width() / (2 * bands), drawn.height() / 2);
        EXPECT_NEAR(second.red(), layout.band(1).red(), 16);
        EXPECT_NEAR(second.blue(), layout.band(1).blue(), 16);
    }
    panel->resize(300, 520);
    waitUntil([&] { return panel->thumbnails().pending() == 0; }, 30000);
    QDir().mkpath(LUMO_TEST_SHOTS);
    panel->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/media-library-pixel-layouts.png"));
}

// A row's "文件缺失" mark follows the disk while the library is shown, with nothing else drawing the rows again: files
// moved away are marked, and the marks go once they are back. Only the rows in view are asked again.
TEST_F(MediaLibraryPanelTest, TheMissingMarkFollowsTheDiskWhileTheRowIsShown)
{
    const QString picture = folder.filePath("blue.png");
    const QString sound = folder.filePath("tone.wav");
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::blue), picture));
    ASSERT_TRUE(QFile::copy(MediaFixtures::wav(), sound));
    model->library().addAssets({QUrl::fromLocalFile(picture), QUrl::fromLocalFile(sound)});
    awaitImport();
    const auto captions = [&] {
        QStringList shown;
        for (const MediaAsset& asset : model->cue().assets())
            shown.append(AssetRowDelegate::caption(asset, engine->mediaFiles()));
        return shown;
    };
    const QStringList present{QStringLiteral("图片"), QStringLiteral("音频")};
    const QStringList missing{QStringLiteral("图片 · 文件缺失"), QStringLiteral("音频 · 文件缺失")};
    ASSERT_TRUE(waitUntil([&] { return captions() == present; }));

    ASSERT_TRUE(QDir(folder.path()).mkdir("aside"));
    ASSERT_TRUE(QFile::rename(picture, folder.filePath("aside/blue.png")));
    ASSERT_TRUE(QFile::rename(sound, folder.filePath("aside/tone.wav")));
    EXPECT_TRUE(waitUntil([&] { return captions() == missing; }, 5000)) << captions().join(", ").toStdString();
    QDir().mkpath(LUMO_TEST_SHOTS);
    panel->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/media-library-missing-marks.png"));
    ASSERT_TRUE(QFile::rename(folder.filePath("aside/blue.png"), picture));
    ASSERT_TRUE(QFile::rename(folder.filePath("aside/tone.wav"), sound));
    EXPECT_TRUE(waitUntil([&] { return captions() == present; }, 5000)) << captions().join(", ").toStdString();

    EXPECT_EQ(panel->shownFiles().shownFiles(),
              (QList<QUrl>{QUrl::fromLocalFile(picture), QUrl::fromLocalFile(sound)}));
    model->view().setAssetSearch(QStringLiteral("tone"));
    EXPECT_EQ(panel->shownFiles().shownFiles(), QList<QUrl>{QUrl::fromLocalFile(sound)});
    panel->hide();
    EXPECT_TRUE(panel->shownFiles().shownFiles().isEmpty());
}

// A library of three thousand files, scrolled to its middle: a file in view that goes away redraws its own row with
// the mark, and answers about files out of view redraw no row, however many come; their marks follow the disk too.
TEST_F(MediaLibraryPanelTest, InALargeLibraryAnswersRedrawOnlyTheirOwnRowsInView)
{
    constexpr int kFiles = 3000;
    const QString model = MediaFixtures::png({8, 8}, Qt::darkCyan);
    QList<MediaAsset> library;
    for (int i = 0; i < kFiles; ++i) {
        const QString file = folder.filePath(QStringLiteral("clip-%1.png").arg(i, 4, 10, QChar('0')));
        if (::link(qPrintable(model), qPrintable(file)) != 0)
            ASSERT_TRUE(QFile::copy(model, file));
        library.append(entry(file, AssetKind::image));
    }
    Show show = engine->show();
    show.assets = library;
    engine->setShow(show);
    MediaFiles& disk = engine->mediaFiles();
    const auto caption = [&](int row) { return AssetRowDelegate::caption(library[row], disk); };
    ASSERT_TRUE(waitUntil([&] { return caption(kFiles - 1) == QStringLiteral("图片"); }, 20000));
    ASSERT_TRUE(waitUntil([&] { return disk.questionsOnTheWay() == 0; }, 20000));

    panel->list()->scrollTo(panel->list()->model()->index(1500, 0), QAbstractItemView::PositionAtTop);
    const auto [first, last] = panel->shownFiles().shownRows();
    ASSERT_EQ(first, 1500);
    ASSERT_GT(last, first);
    QList<int> redrawn;
    QObject::connect(panel->list()->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         for (int row = from.row(); row <= to.row(); ++row)
                             redrawn.append(row);
                     });

    const int shownRow = first + 1;
    const QList<int> hiddenRows{0, 10, 2999};
    ASSERT_TRUE(QFile::remove(library[shownRow].url.toLocalFile()));
    QList<QUrl> hiddenFiles;
    for (const int row : hiddenRows) {
        ASSERT_TRUE(QFile::remove(library[row].url.toLocalFile()));
        hiddenFiles.append(library[row].url);
    }
    // Every file of the library is asked again, as a relink does: the answers come in rounds.
    QList<QUrl> everyFile;
    for (const MediaAsset& asset : std::as_const(library))
        everyFile.append(asset.url);
    disk.refresh(everyFile, FileDepth::readable, MediaFiles::Again::fromNow);
    const QString missing = QStringLiteral("图片 · 文件缺失");
    EXPECT_TRUE(waitUntil([&] { return caption(shownRow) == missing; }, 5000)) << caption(shownRow).toStdString();
    ASSERT_TRUE(waitUntil([&] { return disk.questionsOnTheWay() == 0; }, 20000));
    for (const int row : hiddenRows)
        EXPECT_EQ(caption(row), missing) << row;
    EXPECT_EQ(caption(shownRow + 1), QStringLiteral("图片"));
    EXPECT_TRUE(redrawn.contains(shownRow));
    for (const int row : std::as_const(redrawn))
        EXPECT_TRUE(row >= first && row <= last) << row;
    QDir().mkpath(LUMO_TEST_SHOTS);
    panel->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/media-library-large.png"));
}

// Thirty pictures imported from a share that stops answering just after the click, as a network share does: the
// console serves its events all the while, rows and thumbnails included, and the import is made with the files that
// answered, naming those that did not.
TEST_F(MediaLibraryPanelTest, AnImportFromAShareThatStopsAnsweringNeverHoldsTheConsole)
{
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    QList<QUrl> chosen;
    for (int i = 0; i < 30; ++i) {
        const QString name = QStringLiteral("pic%1.png").arg(i);
        ASSERT_TRUE(
            QFile::copy(MediaFixtures::png({16, 16}, QColor::fromHsv(i * 12, 200, 200)), share.backing() + "/" + name));
        chosen.append(QUrl::fromLocalFile(share.mount() + "/" + name));
    }
    panel->setFilesChooser([&](QWidget*, std::function<void(const QList<QUrl>&)> answer) { answer(chosen); });
    share.delay(0.005);
    Heartbeat heartbeat;
    panel->importButton()->click();
    share.stall();
    EXPECT_TRUE(waitUntil([&] { return !model->library().importing(); }, 20000));
    EXPECT_TRUE(model->view().note().contains(QStringLiteral("个文件无响应"))) << model->view().note().toStdString();
    runEvents(1500);
    EXPECT_LT(heartbeat.longestGapMs(), 500) << "the console stopped serving its events";

    // Once the share answers, the same import brings every file in.
    share.answer();
    EXPECT_TRUE(waitUntil(
        [&] { return engine->mediaFiles().state(chosen.last(), FileDepth::readable) == FileState::answered; }));
    panel->importButton()->click();
    EXPECT_TRUE(waitUntil([&] { return model->cue().assets().size() == 30; }, 20000))
        << model->view().note().toStdString();
}
