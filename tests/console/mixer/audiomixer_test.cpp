#include "audiomixerview.h"
#include "channellevel.h"
#include "lumostyle.h"
#include "mixerchannelcard.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontMetricsF>
#include <QLabel>
#include <QSlider>
#include <gtest/gtest.h>
#include <vector>

TEST(ChannelLevel, FollowsThePeakInDecibels)
{
    struct Case
    {
        float peak;
        const char* text;
        double fraction;
        bool hot;
    };
    const QList<Case> cases{
        {0.0f, "−∞ dBFS", 0.0, false},          {0.0005f, "−∞ dBFS", 0.0, false},
        {0.001f, "−∞ dBFS", 0.0, false},        {-0.5f, "−∞ dBFS", 0.0, false},
        {std::nanf(""), "−∞ dBFS", 0.0, false}, {0.5f, "-6.0 dBFS", 0.8997, false},
        {0.9f, "-0.9 dBFS", 0.9847, true},      {1.0f, "0.0 dBFS", 1.0, true},
        {2.0f, "6.0 dBFS", 1.0, true},          {0.01f, "-40.0 dBFS", 0.3333, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.peak);
        const ChannelLevel level = ChannelLevel::fromPeak(c.peak);
        EXPECT_EQ(level.text, QString::fromUtf8(c.text));
        EXPECT_NEAR(level.fraction, c.fraction, 1e-4);
        EXPECT_EQ(level.hot, c.hot);
    }
    for (auto [gain, percent] : {std::pair{0.999f, 99}, {1.0f, 100}, {0.0f, 0}, {0.5f, 50}, {0.289f, 28}})
        EXPECT_EQ(gainPercent(gain), percent) << gain;
}

// Whether every digit takes the same room, so that a number does not shift sideways as its value changes.
static bool digitsKeepTheirWidth(const QLabel* label)
{
    const QFontMetricsF metrics(label->font());
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) != metrics.horizontalAdvance(u'0'))
            return false;
    return true;
}

class AudioMixerViewTest : public ::testing::Test
{
  protected:
    void play(int channels, float sample)
    {
        std::vector<float> samples(size_t(channels), sample);
        const AudioChannelMixer::Buffer buffer{channels, samples.data(), samples.size() * sizeof(float)};
        mixer->process(std::span(&buffer, 1), 1);
    }
    QStringList levelTexts() const
    {
        QStringList texts;
        for (MixerChannelCard* card : view.cards())
            texts.append(card->levelText());
        return texts;
    }

    // The console's style and font, taken before the panel is built as in the application.
    bool styled = (applyLumoStyle(*qApp), true);
    std::shared_ptr<AudioChannelMixer> mixer = std::make_shared<AudioChannelMixer>();
    AudioMixerView view{mixer};
};

TEST_F(AudioMixerViewTest, StartsWithTwoSilentCardsAtFullGain)
{
    ASSERT_EQ(view.cards().size(), 2);
    for (MixerChannelCard* card : view.cards()) {
        EXPECT_EQ(card->levelText(), "−∞ dBFS");
        EXPECT_EQ(card->meterFraction(), 0.0);
        EXPECT_EQ(card->percentText(), "100%");
    }
}

TEST_F(AudioMixerViewTest, CardsGrowWithTheWidestSourceAndNeverShrink)
{
    view.show();
    play(6, 0.5f);
    view.poll();
    EXPECT_EQ(levelTexts(), QStringList(6, "-6.0 dBFS"));
    play(2, 0.25f);
    view.poll();
    EXPECT_EQ(view.cards().size(), 6);
    EXPECT_EQ(levelTexts().last(), "−∞ dBFS");
    play(40, 1.0f);
    view.poll();
    EXPECT_EQ(view.cards().size(), AudioChannelMixer::maxChannels);
}

TEST_F(AudioMixerViewTest, WritesGainAndMuteIntoTheMixer)
{
    view.show();
    MixerChannelCard* second = view.cards().at(1);
    second->findChild<QSlider*>()->setValue(250);
    second->findChild<QCheckBox*>()->click();
    EXPECT_FLOAT_EQ(mixer->gains()[1], 0.25f);
    EXPECT_TRUE(mixer->muted()[1]);
    EXPECT_EQ(second->percentText(), "25%");
    play(2, 0.8f);
    view.poll();
    EXPECT_EQ(levelTexts(), (QStringList{"-1.9 dBFS", "−∞ dBFS"}));
}

TEST_F(AudioMixerViewTest, PollsOnlyWhileShownAndStartsFromTheMixersState)
{
    view.show();
    EXPECT_TRUE(view.polling());
    view.hide();
    EXPECT_FALSE(view.polling());

    mixer->setGain(0, 0.5f);
    mixer->setMuted(1, true);
    play(2, 1.0f);
    view.show();
    EXPECT_TRUE(view.polling());
    EXPECT_EQ(view.cards().at(0)->percentText(), "50%");
    EXPECT_TRUE(view.cards().at(1)->findChild<QCheckBox*>()->isChecked());
    EXPECT_EQ(levelTexts(), QStringList(2, "−∞ dBFS")) << "peaks from before the panel opened are dropped";
}

TEST_F(AudioMixerViewTest, LevelAndPercentKeepTheirPlaceAsTheyChange)
{
    view.resize(260, view.sizeHint().height());
    view.show();
    play(2, 0.5f);
    view.poll();
    MixerChannelCard* card = view.cards().at(0);
    for (const QString& text : {card->levelText(), card->percentText()}) {
        const QList<QLabel*> labels = card->findChildren<QLabel*>();
        const auto shown = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == text; });
        ASSERT_NE(shown, labels.end()) << text.toStdString();
        EXPECT_TRUE(digitsKeepTheirWidth(*shown)) << text.toStdString();
    }
    QCoreApplication::sendPostedEvents(); // the layout takes in the longer text
    QDir().mkpath(LUMO_TEST_SHOTS);
    view.grab().save(QStringLiteral(LUMO_TEST_SHOTS "/mixer-cards.png"));
}
