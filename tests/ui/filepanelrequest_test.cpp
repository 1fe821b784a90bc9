#include "filepanelrequest.h"

#include <QFileDialog>
#include <gtest/gtest.h>

// What the console asks of the panel program reads back whole on the other side, Chinese texts and paths included;
// anything else is refused rather than guessed.
TEST(FilePanelRequest, TravelsAsArgumentsAndBack)
{
    FilePanelRequest save;
    save.mode = FilePanelRequest::Mode::saveFile;
    save.nameFilters = {QStringLiteral("JSON (*.json)")};
    save.defaultSuffix = QStringLiteral("json");
    save.selectedFile = QStringLiteral("/演出/--mode 工程.json");
    save.transientFor = 0x2a00007;
    save.centredOver = QRect(-20, 30, 1320, 850);
    FilePanelRequest relink;
    relink.mode = FilePanelRequest::Mode::openFolder;
    relink.acceptLabel = QStringLiteral("重新定位");
    FilePanelRequest media;
    media.mode = FilePanelRequest::Mode::openFiles;
    media.mediaKinds = {QStringLiteral("图片"), QStringLiteral("视频")};
    media.hideFilterDetails = true;
    for (const FilePanelRequest& request : {save, relink, media})
        EXPECT_EQ(FilePanelRequest::fromArguments(request.arguments()), request);

    EXPECT_FALSE(FilePanelRequest::fromArguments({}));
    EXPECT_FALSE(FilePanelRequest::fromArguments({"--mode", "delete-file"}));
    EXPECT_FALSE(FilePanelRequest::fromArguments({"--mode", "open-file", "--select"}));
    EXPECT_FALSE(FilePanelRequest::fromArguments({"--mode", "open-file", "--transient-for", "x"}));
    EXPECT_FALSE(FilePanelRequest::fromArguments({"--mode", "open-file", "--centred-over", "1,2,3"}));
    EXPECT_FALSE(FilePanelRequest::fromArguments({"--mode", "open-file", "--colour", "red"}));

    QFileDialog panel;
    panel.setOption(QFileDialog::DontUseNativeDialog);
    relink.applyTo(panel);
    EXPECT_EQ(panel.fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(panel.testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(panel.labelText(QFileDialog::Accept), QStringLiteral("重新定位"));
}

// The answer counts only once its closing dot has come: a program that dies half-way answers nothing.
TEST(FilePanelRequest, AnswerIsWholeOnlyWithItsClosingDot)
{
    const QList<QUrl> chosen{QUrl::fromLocalFile(QStringLiteral("/节目/a b.png")),
                             QUrl::fromLocalFile(QStringLiteral("/tmp/line\nbreak.mp4")),
                             QUrl::fromLocalFile(QStringLiteral("/tmp/."))};
    const QByteArray bytes = FilePanelRequest::answerBytes(chosen);
    EXPECT_EQ(FilePanelRequest::answerFrom(bytes), chosen);
    EXPECT_EQ(bytes.count('\n'), 4);
    EXPECT_FALSE(FilePanelRequest::answerFrom(bytes.chopped(1)));
    EXPECT_FALSE(FilePanelRequest::answerFrom(bytes.left(bytes.indexOf('\n') + 1)));
    EXPECT_EQ(FilePanelRequest::answerFrom(".\n"), QList<QUrl>());
}
