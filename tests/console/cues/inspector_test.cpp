#include "assetpicker.h"
#include "audiomixerview.h"
#include "consolecolors.h"
#include "inspector.h"
#include "mixerchannelcard.h"
#include "numberfield.h"
#include "operatorlocale.h"
#include "sectionfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

class InspectorTest : public SectionTest
{
  protected:
    InspectorTest()
    {
        select(0);
        engine->editHistory()->clear();
    }

    template <typename W = QWidget> W* part(const QString& name) { return inspector.findChild<W*>(name); }
    bool shown(const QString& name) { return part(name) && part(name)->isVisibleTo(&inspector); }
    Cue cue() const { return engine->show().cues.at(0); }
    void choose(const QString& picker, const QString& file)
    {
        answer = url(file);
        button<QPushButton>(*part(picker), "选择")->click();
    }
    void commitDelay(const QString& text) { typeAndCommit(part<NumberField>("delay"), text); }

    std::optional<QUrl> answer;
    Inspector inspector{*state, [this](QWidget*, const QList<AssetKind>&, std::function<void(const QUrl&)> chosen) {
                            if (answer)
                                chosen(*answer);
                        }};
};

TEST_F(InspectorTest, ShowsTheSectionsThatFitTheSelectedCue)
{
    struct Case
    {
        const char* name;
        std::function<void(Show&)> change;
        bool selected;
        QList<const char*> shownParts;
        QList<const char*> hiddenParts;
    };
    const QList<Case> cases{
        {"no selection", {}, false, {}, {"cueSettings"}},
        {"one screen",
         {},
         true,
         {"cueName", "屏幕 1 素材", "音频素材", "音频总线", "素材结束", "delay"},
         {"屏幕 2 素材"}},
        {"two screens",
         [](Show& show) {
             show.outputScreens = QList{kScreen1, kScreen2};
         },
         true,
         {"屏幕 1 素材", "屏幕 2 素材"},
         {}},
        {"mirrored side",
         [this](Show& show) {
             show.outputScreens = QList{kScreen1, kScreen2};
             show.cues[0].sideMirrorsMain = true;
             show.cues[0].side = url("side.png");
         },
         true,
         {"屏幕 1 素材"},
         {"屏幕 2 素材"}},
        {"only the second screen",
         [](Show& show) { show.outputScreens = QList{kScreen2}; },
         true,
         {"屏幕 2 素材"},
         {"屏幕 1 素材"}},
        {"timeline cue",
         [](Show& show) { show.cues[0].timeline = QList<TimelineEvent>{TimelineEvent{}}; },
         true,
         {"cueName", "素材结束", "delay"},
         {"mediaGroup"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine->setShow(Show::makeDefault());
        if (c.change)
            edit(c.change);
        engine->setSelected(c.selected ? std::optional(engine->show().cues.at(0).id) : std::nullopt);
        for (const char* name : c.shownParts)
            EXPECT_TRUE(shown(name)) << name;
        for (const char* name : c.hiddenParts)
            EXPECT_FALSE(shown(name)) << name;
        auto* mirror = button<QCheckBox>(inspector, "屏幕 2 镜像屏幕 1");
        EXPECT_EQ(mirror->isVisibleTo(&inspector), c.selected && engine->show().screens().size() == 2);
    }
}

TEST_F(InspectorTest, MirroringHidesTheSideFileButKeepsIt)
{
    edit([](Show& show) { show.outputScreens = QList{kScreen1, kScreen2}; });
    choose("屏幕 2 素材", "side.png");
    button<QCheckBox>(inspector, "屏幕 2 镜像屏幕 1")->click();
    EXPECT_TRUE(cue().sideMirrorsMain);
    EXPECT_FALSE(shown("屏幕 2 素材"));
    EXPECT_EQ(cue().side, url("side.png"));
}

TEST_F(InspectorTest, ChoosingAVideoTurnsItsSoundOnAsASecondUndoStep)
{
    auto* videoSound = button<QCheckBox>(inspector, "禁用视频声音");
    ASSERT_TRUE(videoSound->isChecked()) << "a new cue plays no video sound";

    choose("屏幕 1 素材", "clip.png");
    EXPECT_EQ(cue().main, url("clip.png"));
    EXPECT_TRUE(videoSound->isChecked());
    EXPECT_EQ(engine->editHistory()->count(), 1);

    choose("屏幕 1 素材", "clip.mp4");
    EXPECT_EQ(part<AssetPicker>("屏幕 1 素材")->shownName(), "clip.mp4");
    EXPECT_EQ(cue().videoMuted, false);
    EXPECT_FALSE(videoSound->isChecked());
    EXPECT_EQ(engine->editHistory()->count(), 3);

    engine->editHistory()->undo();
    EXPECT_TRUE(videoSound->isChecked());
    EXPECT_EQ(cue().main, url("clip.mp4"));
    engine->editHistory()->undo();
    EXPECT_EQ(cue().main, url("clip.png"));

    edit([](Show& show) { show.cues[0].videoMuted = true; });
    choose("屏幕 1 素材", "clip.mp4");
    EXPECT_EQ(cue().videoMuted, true) << "a cue that said no keeps its choice";

    videoSound->click();
    EXPECT_EQ(cue().videoMuted, false);
    EXPECT_FALSE(cue().videoAudio);
}

TEST_F(InspectorTest, ClearingAFileIsOneStepAndNothingElse)
{
    auto* clear = part<AssetPicker>("音频素材")->findChild<QToolButton*>("clear");
    EXPECT_FALSE(clear->isEnabled());
    EXPECT_EQ(part<AssetPicker>("音频素材")->shownName(), "未选择");
    choose("音频素材", "music.wav");
    EXPECT_TRUE(clear->isEnabled());
    const int steps = engine->editHistory()->count();
    clear->click();
    EXPECT_EQ(cue().audio, std::nullopt);
    EXPECT_EQ(cue().videoMuted, std::nullopt);
    EXPECT_EQ(engine->editHistory()->count(), steps + 1);
}

TEST_F(InspectorTest, EachTypedChangeOfTheNameIsOneStep)
{
    auto* name = part<QLineEdit>("cueName");
    name->setFocus();
    name->end(false);
    QTest::keyClicks(name, "AB");
    EXPECT_EQ(cue().name, "暖场AB");
    EXPECT_EQ(engine->editHistory()->count(), 2);
    engine->editHistory()->undo();
    EXPECT_EQ(name->text(), "暖场A");
}

TEST_F(InspectorTest, PickersWriteTheirChoice)
{
    part<QComboBox>("音频总线")->activated(1);
    part<QComboBox>("素材结束")->activated(2);
    EXPECT_EQ(cue().audioBus, Bus::effects);
    EXPECT_EQ(cue().ending, EndBehavior::next);
    EXPECT_EQ(engine->editHistory()->count(), 2);
}

TEST_F(InspectorTest, DelayIsReadInTheOperatorsLocaleAndOnlyAsAFiniteNumber)
{
    // A German session's "2,5" is read by the console as it starts (OperatorLocale tests); here the process's own.
    const QString twoAndAHalf = operatorLocale().toString(2.5);
    commitDelay(twoAndAHalf);
    EXPECT_EQ(cue().delay, 2.5);
    EXPECT_EQ(part<NumberField>("delay")->text(), twoAndAHalf);
    EXPECT_EQ(engine->editHistory()->count(), 1);
    for (const char* refused : {"abc", "inf", "nan", "-inf", "1e999", ""}) {
        SCOPED_TRACE(refused);
        commitDelay(refused);
        EXPECT_EQ(cue().delay, 2.5);
        EXPECT_EQ(part<NumberField>("delay")->text(), twoAndAHalf);
    }
    commitDelay("-4");
    EXPECT_EQ(cue().delay, -4) << "the engine limits the delay when it uses it";
    EXPECT_EQ(engine->editHistory()->count(), 2);

    edit([](Show& show) { show.cues[1].delay = 0.75; });
    select(1);
    EXPECT_EQ(part<NumberField>("delay")->text(), operatorLocale().toString(0.75)) << "another cue shows its own delay";
}

TEST_F(InspectorTest, VolumeSlidersRecordNoEdit)
{
    part<QSlider>("背景音乐")->setValue(300);
    part<QSlider>("音效")->setValue(1000);
    EXPECT_DOUBLE_EQ(engine->musicVolume(), 0.3);
    EXPECT_DOUBLE_EQ(engine->effectsVolume(), 1.0);
    EXPECT_EQ(engine->editHistory()->count(), 0);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    engine->setMusicVolume(0.25);
    EXPECT_EQ(part<QSlider>("背景音乐")->value(), 250);
}

TEST_F(InspectorTest, LightingEntryNeverResponds)
{
    auto* entry = part<QPushButton>("lightingEntry");
    inspector.show();
    EXPECT_FALSE(entry->isEnabled());
    QTest::mouseClick(entry, Qt::LeftButton);
    EXPECT_FALSE(state->lightingModuleOpen());
}

TEST_F(InspectorTest, ChannelLevelsPollOnlyWhileOpen)
{
    inspector.show();
    EXPECT_TRUE(inspector.mixer()->isVisible());
    part<QToolButton>("channelLevels")->click();
    EXPECT_FALSE(state->audioExpanded());
    EXPECT_FALSE(inspector.mixer()->isVisible());
    part<QToolButton>("channelLevels")->click();
    EXPECT_TRUE(state->audioExpanded());
    EXPECT_TRUE(inspector.mixer()->isVisible());
}

TEST_F(InspectorTest, WithAMixerShowsTheFilesTheDelayAndEveryChannelsLevel)
{
    auto mixer = std::make_shared<AudioChannelMixer>();
    Engine::Services services;
    services.players = [](QObject* parent) { return std::make_unique<FakePlayer>(parent); };
    Engine withMixer(true, mixer, path("mixed"), services);
    ConsoleState mixedState(withMixer, settings);
    Show show = withMixer.show();
    show.outputScreens = QList{kScreen1, kScreen2};
    show.cues[0].main = url("开场视频.mp4");
    show.cues[0].audio = url("a very long name of a background music file.wav");
    show.cues[0].delay = 1.5;
    withMixer.setShow(show);
    Inspector column(mixedState, {});
    column.setFixedWidth(262);
    QPalette palette = column.palette();
    palette.setColor(QPalette::Window, ConsoleColors::inspectorBackground());
    column.setPalette(palette);
    column.setAutoFillBackground(true);
    column.show();
    std::vector<float> samples{0.5f, 0.05f, 0.95f, 0.0f, 0.2f, 1.0f};
    const AudioChannelMixer::Buffer buffer{6, samples.data(), samples.size() * sizeof(float)};
    mixer->process(std::span(&buffer, 1), 1);
    column.mixer()->poll();
    QApplication::processEvents();
    column.resize(262, column.sizeHint().height());
    QApplication::processEvents();
    // The meters show the peaks since the poll before: read and pictured before the panel's own timer polls again.
    mixer->process(std::span(&buffer, 1), 1);
    column.mixer()->poll();
    const QList<MixerChannelCard*> cards = column.mixer()->cards();
    ASSERT_EQ(cards.size(), 6);
    EXPECT_EQ(cards[0]->levelText(), "-6.0 dBFS");
    EXPECT_EQ(cards[3]->levelText(), "\u2212\u221E dBFS");
    EXPECT_EQ(cards[5]->levelText(), "0.0 dBFS");
    EXPECT_EQ(column.findChild<AssetPicker*>("屏幕 1 素材")->shownName(), "开场视频.mp4");
    EXPECT_EQ(column.findChild<AssetPicker*>("音频素材")->shownName(),
              "a very long name of a background music file.wav");
    EXPECT_EQ(column.findChild<NumberField*>("delay")->value(), 1.5);
    saveShot(column, "inspector-with-mixer");
}
