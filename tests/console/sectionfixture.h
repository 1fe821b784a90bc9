#pragma once

#include "consolestate.h"
#include "engine.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "lumosettings.h"
#include "lumostyle.h"
#include "mediaanswers.h"
#include "projectchooser.h"
#include "projectfile.h"
#include "stalledfolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

// Answers the project menu's panels as the test says, at once, and remembers what it was asked.
class FakeChooser : public ProjectChooser
{
  public:
    void projectToOpen(QWidget*, Chosen chosen) override
    {
        ++opens;
        if (answer)
            chosen(*answer);
    }
    void saveLocation(QWidget*, const QString& presetPath, Chosen chosen) override
    {
        presets.append(presetPath);
        if (answer)
            chosen(*answer);
    }
    void relinkFolder(QWidget*, Chosen chosen) override
    {
        ++relinks;
        if (answer)
            chosen(*answer);
    }

    std::optional<QUrl> answer;
    int opens = 0;
    int relinks = 0;
    QStringList presets;
};

// Replaces a field's text as the operator would, key by key, and commits it with Return.
inline void typeAndCommit(QLineEdit* field, const QString& text)
{
    field->selectAll();
    field->del();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

// The button inside a widget with this text or object name.
template <typename Button = QAbstractButton> Button* button(QWidget& parent, const QString& text)
{
    for (Button* found : parent.findChildren<Button*>())
        if (found->text() == text || found->objectName() == text)
            return found;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// One console's sections over a main engine on fake players, with a temporary recovery folder and settings file.
class SectionTest : public ::testing::Test
{
  protected:
    SectionTest()
    {
        applyLumoStyle(*qApp);
        Engine::Services services;
        services.players = [](QObject* parent) { return std::make_unique<FakePlayer>(parent); };
        // Questions still on their way when a test ends are answered after it: the lambda holds what it uses.
        services.isReadableFile = [checks = m_checks, stalled = stalled](const QUrl& url) {
            stalled->hangIfHeld(url);
            ++*checks;
            return QFileInfo(url.toLocalFile()).isFile();
        };
        engine = std::make_unique<Engine>(true, nullptr, folder.filePath("recovery"), services);
        state = std::make_unique<ConsoleState>(*engine, settings);
    }

    template <typename Change> void edit(Change change)
    {
        Show show = engine->show();
        change(show);
        engine->setShow(show);
        awaitMediaAnswers(*engine);
    }
    void select(int cue) { engine->setSelected(engine->show().cues.at(cue).id); }
    QList<QString> names() const
    {
        QList<QString> names;
        for (const Cue& cue : engine->show().cues)
            names.append(cue.name);
        return names;
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }
    std::function<void(const QString&)> windowOpener()
    {
        return [this](const QString& id) { openedWindows.append(id); };
    }

    static void saveShot(QWidget& widget, const QString& name)
    {
        QDir().mkpath(LUMO_TEST_SHOTS);
        widget.grab().save(QString(LUMO_TEST_SHOTS) + "/" + name + ".png");
    }

    QTemporaryDir folder;
    LumoSettings settings{folder.filePath("settings.ini")};
    std::unique_ptr<Engine> engine;
    std::unique_ptr<ConsoleState> state;
    FakeChooser chooser;
    QStringList openedWindows;
    // How often the engine's check asked whether a media file can be read (on the engine's file question threads).
    std::shared_ptr<std::atomic<int>> m_checks = std::make_shared<std::atomic<int>>(0);
    std::atomic<int>& fileChecks = *m_checks;
    // A folder whose files stop answering once named.
    std::shared_ptr<StalledFolder> stalled = std::make_shared<StalledFolder>();
};
