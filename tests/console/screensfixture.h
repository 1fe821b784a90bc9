#pragma once

#include "fakedisplays.h"
#include "mediafixtures.h"
#include "sectionfixture.h"

#include <QCoreApplication>
#include <QImage>

// A console section over an engine with displays and output windows the test controls.
class ScreensTest : public SectionTest
{
  protected:
    ScreensTest()
    {
        state.reset();
        engine.reset();
        Engine::Services services;
        services.players = fakePlayers();
        services.displays = displays;
        services.windows = windows;
        engine = std::make_unique<Engine>(true, nullptr, folder.filePath("recovery"), services);
        state = std::make_unique<ConsoleState>(*engine, settings);
    }

    static DisplayScreen display(int number, QSize pixels = {1920, 1080})
    {
        return DisplayScreen{number, QStringLiteral("id-%1").arg(number), QStringLiteral("HDMI-%1").arg(number),
                             QRect(QPoint(2000 * number, 0), pixels), pixels};
    }
    // The engine hears of a change of displays on its next turn of the event loop.
    void connectDisplays(const QList<DisplayScreen>& list)
    {
        displays->change(list);
        ASSERT_TRUE(waitUntil([&] { return engine->displays() == list; }));
        // Bindings restored on the change are published on the turn after.
        QCoreApplication::sendPostedEvents();
    }
    void giveScreens(int count)
    {
        while (engine->show().screens().size() < count)
            engine->addScreen();
    }
    // A cue showing a still picture of that colour on every screen of the show.
    Cue stillCue(const QString& name, QColor colour)
    {
        Cue cue;
        cue.name = name;
        cue.main = QUrl::fromLocalFile(MediaFixtures::png({320, 180}, colour));
        edit([&](Show& show) { show.cues.append(cue); });
        return cue;
    }

    std::shared_ptr<FakeDisplays> displays = std::make_shared<FakeDisplays>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
};
