#include "consolefixture.h"
#include "literaltext.h"
#include "screencard.h"
#include "screenoutputpicker.h"

#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QToolTip>

// Screen, cue and file names come from a project file: whatever they look like, the console shows them as they
// stand, in labels and in hover help.
TEST_F(ConsoleTest, NamesFromTheProjectShowAsTheyStand)
{
    const ScreenRole screen{kMarkedUpName};
    Show show = engine().show();
    show.outputScreens = QList{screen};
    show.cues[0].name = kMarkedUpName;
    show.cues[0].main = QUrl::fromLocalFile(folder.filePath(QStringLiteral("<u>图.png")));
    engine().setShow(show);
    engine().setSelected(show.cues[0].id);
    app->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->consoleWindow()));

    auto* card = app->consoleWindow().findChild<ScreenCard*>(screen.rawValue);
    ASSERT_NE(card, nullptr);
    const QList<QLabel*> inConsole = labelsShowing(app->consoleWindow(), kMarkedUpName);
    EXPECT_FALSE(labelsShowing(*card, kMarkedUpName).isEmpty()) << "the card names its screen";
    for (QLabel* label : inConsole)
        EXPECT_TRUE(showsLiterally(*label, label->text()));
    saveShot(*card, "screencard-markup-name");
    saveShot(app->consoleWindow(), "console-markup-names");

    auto* picker = card->findChild<ScreenOutputPicker*>();
    ASSERT_NE(picker, nullptr);
    QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), picker->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(picker, &hover);
    ASSERT_TRUE(QToolTip::isVisible());
    QLabel* tip = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("qtooltip_label") && window->isVisible())
            tip = qobject_cast<QLabel*>(window);
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(showsLiterally(*tip, QStringLiteral("绑定或解除") + kMarkedUpName + QStringLiteral("的物理显示器")));
    saveShot(*tip, "screencard-markup-name-help");
    QToolTip::hideText();

    app->openWindow("projection-monitor");
    QWidget* monitor = app->singleWindows().window("projection-monitor");
    ASSERT_NE(monitor, nullptr);
    const QList<QLabel*> inMonitor = labelsShowing(*monitor, kMarkedUpName);
    EXPECT_FALSE(inMonitor.isEmpty()) << "the monitor's cell names its screen";
    for (QLabel* label : inMonitor)
        EXPECT_TRUE(showsLiterally(*label, label->text()));
    saveShot(*monitor, "projection-monitor-markup-name");
}
