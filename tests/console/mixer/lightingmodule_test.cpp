#include "consolefixture.h"
#include "consolesheet.h"
#include "consoleview.h"
#include "lightingmoduleview.h"
#include "numberfield.h"
#include "sectionfixture.h"
#include "stepper.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

class LightingModuleTest : public SectionTest
{
  protected:
    LightingModuleTest()
    {
        select(0);
        engine->editHistory()->clear();
    }
    template <typename W = QWidget> W* part(const QString& name) { return sheet.findChild<W*>(name); }
    std::optional<Lighting> lighting() const { return engine->show().cues.at(0).lighting; }
    void typeHost(const QString& host)
    {
        auto* field = part<QLineEdit>("artNetHost");
        field->selectAll();
        field->del();
        QTest::keyClicks(field, host);
    }
    QAbstractButton* step(const QString& stepper, const QString& direction)
    {
        return part<Stepper>(stepper)->findChild<QToolButton*>(direction);
    }

    LightingModuleView sheet{*state};
};

TEST_F(LightingModuleTest, ApplyReportsWhatBecameOfTheArtNetTarget)
{
    struct Case
    {
        const char* host;
        const char* message;
    };
    const QList<Case> cases{
        {"", "Art-Net 已停用"},
        {"127.0.0.1", "Art-Net 已启用 · UDP 无回执"},
        {"127.0.0", "请输入有效的 IPv4 地址"},
        {" 127.0.0.1", "请输入有效的 IPv4 地址"},
        {"localhost", "请输入有效的 IPv4 地址"},
    };
    auto* apply = button<QPushButton>(sheet, "应用");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        typeHost(c.host);
        EXPECT_EQ(engine->show().artNetHost, c.host);
        apply->click();
        EXPECT_EQ(engine->message(), QString::fromUtf8(c.message));
    }
}

TEST_F(LightingModuleTest, TypingTheTargetIsAnEditPerKeyButDoesNotApplyIt)
{
    const QString before = engine->message();
    typeHost("127.0.0.1");
    EXPECT_EQ(engine->editHistory()->count(), 9);
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_EQ(engine->message(), before);

    auto* universe = part<NumberField>("universe");
    for (const char* refused : {"abc", "2,5", "inf"})
        typeAndCommit(universe, refused);
    typeAndCommit(universe, "3");
    EXPECT_EQ(engine->show().universe, 3);
    EXPECT_EQ(engine->editHistory()->count(), 10);

    button<QCheckBox>(sheet, "灯光黑场")->click();
    EXPECT_TRUE(engine->lightsBlack());
    EXPECT_EQ(engine->editHistory()->count(), 10);
}

TEST_F(LightingModuleTest, CueActionStartsFromChannelOneAndStaysWithinBounds)
{
    auto* enable = button<QCheckBox>(sheet, "启用灯光动作");
    EXPECT_FALSE(part("address")->isVisibleTo(&sheet));
    enable->click();
    EXPECT_EQ(lighting(), (Lighting{1, 0, 1.0}));
    EXPECT_EQ(part<Stepper>("address")->labelText(), "DMX 地址  1");
    EXPECT_EQ(part<Stepper>("level")->labelText(), "亮度  0");
    EXPECT_EQ(part<NumberField>("fade")->text(), "1");
    EXPECT_FALSE(step("address", "stepDown")->isEnabled());
    EXPECT_FALSE(step("level", "stepDown")->isEnabled());

    step("address", "stepUp")->click();
    step("level", "stepUp")->click();
    EXPECT_EQ(lighting(), (Lighting{2, 1, 1.0}));
    edit([](Show& show) { show.cues[0].lighting = Lighting{512, 255, 1.0}; });
    EXPECT_FALSE(step("address", "stepUp")->isEnabled());
    EXPECT_FALSE(step("level", "stepUp")->isEnabled());

    auto* fade = part<NumberField>("fade");
    for (const char* refused : {"nan", "inf", "x"}) {
        typeAndCommit(fade, refused);
        EXPECT_EQ(lighting()->fade, 1.0) << refused;
    }

    enable->click();
    EXPECT_EQ(lighting(), std::nullopt);
    enable->click();
    EXPECT_EQ(lighting(), (Lighting{1, 0, 1.0})) << "turning it on again starts afresh";
    engine->editHistory()->undo();
    engine->editHistory()->undo();
    EXPECT_EQ(lighting(), (Lighting{512, 255, 1.0}));
}

TEST_F(LightingModuleTest, WithoutASelectedCueOnlyTheOutputShows)
{
    engine->setSelected(std::nullopt);
    EXPECT_FALSE(part("cueLighting")->isVisibleTo(&sheet));
    EXPECT_TRUE(button(sheet, "完成")->isVisibleTo(&sheet));
    select(1);
    EXPECT_TRUE(part("cueLighting")->isVisibleTo(&sheet));
}

using LightingSheetTest = ConsoleTest;

TEST_F(LightingSheetTest, OpensOverTheConsoleAndCloses)
{
    app->show();
    Show show = engine().show();
    show.cues[0].lighting = Lighting{12, 200, 2.5};
    engine().setShow(show);
    view().state().setLightingModuleOpen(true);
    ConsoleSheet* sheet = view().lightingSheet();
    ASSERT_NE(sheet, nullptr);
    auto* content = qobject_cast<LightingModuleView*>(sheet->content());
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->size(), LightingModuleView::fixedSize);
    EXPECT_EQ(button<QLineEdit>(*content, "artNetHost")->text(), "");
    saveShot(*sheet, "lighting-sheet");

    button(*content, "完成")->click();
    EXPECT_FALSE(view().state().lightingModuleOpen());
    QTRY_VERIFY(view().lightingSheet() == nullptr);
}
