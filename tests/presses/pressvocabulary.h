#pragma once

#include "consolestate.h"
#include "engine.h"
#include "projectionlaunch.h"
#include "timelineeditormodel.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

// Everything an operator's press acts on: the engine, the timeline editor's model on it, the console's state with
// the header's launch and the check sheet's, and the files and folders presses name.
struct Stage
{
    Engine& engine;
    TimelineEditorModel& model;
    ConsoleState& console;
    ProjectionLaunch& header;
    // The check sheet while it is shown: its launch, as PreflightCheck holds it.
    std::unique_ptr<ProjectionLaunch> sheet;
    // Sheets closed that are let go only at the end of the pass.
    std::vector<std::unique_ptr<ProjectionLaunch>> keptSheets;
    // Runs that began, each of which turns the monitors to what is on air and opens the run's monitor window.
    int runsBegun = 0;
    std::function<void(const QString&)> openWindow;
    // The folder whose answers may be held back, the local one, and the project files.
    QString share;
    QString local;
    QUrl project;
    QUrl other;
    // Whether the share's answers are held back in this pass.
    bool held = false;
    // Waits for a project file's work to end.
    std::function<void()> awaitFileWork;
    // Keeps the held share silent until it counts as stalled.
    std::function<void()> stallShare;
    // Presses whose outcome the design lets differ in this pass, and breaches of what must hold at every press.
    QStringList excused;
    QStringList breaches;
    // The press just made named a clip, a lane or a library entry that is not there (yet).
    bool missed = false;
    // The kinds of transport press (GO, take, run) made since the transport last had nothing waiting.
    QStringList transportWaits;
    // Cues that takes still waiting selected at their press, and those of them pressed on in the editor meanwhile.
    QSet<QUuid> takenAtPress;
    QSet<QUuid> editedOnTaken;
    // Cues that went on air: a take whose cue never did was refused (or overtaken).
    QSet<QUuid> aired;
};

// One press with its arguments, named by what a person sees (a cue's name, a file's name, a lane), so that a press
// picked in one pass is made the same in the other, and does nothing when what it names is gone.
struct Press
{
    int kind = 0;
    QString a;
    QString b;
    double x = 0;
};

// One kind of press: its name, how often it is drawn, how it picks arguments among what exists now (none when it
// cannot be pressed now), how it is made and how a person reads it.
struct PressKind
{
    QString name;
    int weight = 1;
    std::function<std::optional<Press>(Stage&, std::mt19937&)> pick;
    std::function<void(Stage&, const Press&)> apply;
    std::function<QString(const Press&)> words;
};

const QList<PressKind>& pressVocabulary();
// "3. 重命名 cue 开场 → \"改名 7\"": the press as a person repeats it.
QString pressWords(const Press& press);
// The kind of press by its name, for fixed sequences.
Press pressOf(const QString& kind, const QString& a = {}, const QString& b = {}, double x = 0);

// The files presses choose from: stills, videos and sounds, half on the share.
QStringList mediaNames();
