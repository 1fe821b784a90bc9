#include "consolefixture.h"
#include "lightingmoduleview.h"
#include "numberfield.h"
#include "sectionfixture.h"
#include "timelineclocklabel.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

// A process reads its locale from the session once, as it starts: the console is started under a German session in
// a child process of its own, which runs the test below.
TEST(OperatorLocale, TheConsoleStartedInAGermanSessionWritesAndReadsGermanNumbers)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "de_DE.UTF-8");
    environment.insert("LANG", "de_DE.UTF-8");
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=GermanSession.DISABLED_*"});
    ASSERT_TRUE(child.waitForStarted());
    const bool finished = child.waitForFinished(120000);
    const QString output = QString::fromUtf8(child.readAll());
    if (!finished)
        child.kill();
    ASSERT_TRUE(finished) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

using GermanSession = ConsoleTest;

// Runs only as the child of the test above, in a process started with LC_ALL=de_DE.UTF-8.
TEST_F(GermanSession, DISABLED_NumbersFollowTheSessionWhileQtsOwnDialogsStayChinese)
{
    ASSERT_EQ(QLocale::system().language(), QLocale::German) << "the session's locale did not reach the process";
    app->show();
    Show show = engine().show();
    show.cues[0].lighting = Lighting{12, 200, 2.5};
    engine().setShow(show);
    engine().setSelected(show.cues[0].id);

    auto* delay = app->consoleWindow().findChild<NumberField*>("delay");
    ASSERT_NE(delay, nullptr);
    typeAndCommit(delay, "2,5");
    EXPECT_EQ(engine().show().cues[0].delay, 2.5);
    EXPECT_EQ(delay->text(), "2,5");
    auto* clock = app->consoleWindow().findChild<TimelineClockLabel*>();
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->text(), QStringLiteral("0,00 秒"));

    view().state().setLightingModuleOpen(true);
    ASSERT_NE(view().lightingSheet(), nullptr);
    auto* fade = view().lightingSheet()->findChild<NumberField*>("fade");
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->text(), "2,5");
    typeAndCommit(fade, "0,75");
    EXPECT_EQ(engine().show().cues[0].lighting->fade, 0.75);
    view().state().setLightingModuleOpen(false);

    app->openWindow("projector-mapping");
    QWidget* editor = app->singleWindows().window("projector-mapping");
    ASSERT_NE(editor, nullptr);
    auto* width = editor->findChild<NumberField*>("宽");
    ASSERT_NE(width, nullptr);
    typeAndCommit(width, "0,5");
    EXPECT_EQ(engine().mapping(show.screens().first()).crop.width(), 0.5);
    EXPECT_EQ(width->text(), "0,5");

    QMessageBox question(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("否(N)"));
}
