#pragma once

#include "checkanswers.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class MediaFiles;

// What the transport was asked to do (take, GO, a run's start) and what it does by itself (a countdown's end, the end
// of a cue that goes on to the next), kept in the order it came while something before it waits for the disk's
// answers about its files. Each is done in its turn, once its answers are in, as it would have been done at its
// moment had the answers been there; the main thread never waits. A press that acts whatever came before it (a cue
// started at once, a run) makes what waits before it moot as soon as its own answers are in and its check passes.
// Pauses pressed meanwhile act at once on what is on air, and again on what a press puts on air after them.
class TransportWait : public QObject
{
    Q_OBJECT
  public:
    struct Press
    {
        // Named on the status line while it waits.
        QString name;
        CheckAnswers answers;
        // Whether, its answers in, it acts whatever was done before it; none when that depends on what came before.
        std::function<bool()> overrides;
        // Does what was pressed; true when it put a cue on air, began a countdown or started a run.
        std::function<bool()> act;
        // A run's start: what comes after it waits for its outcome, as a run refuses takes.
        bool startsRun = false;
        // Dropped unheard by clear(): what of it holds all the same, done as its press once its answers are in.
        std::function<void()> kept;
        // The count of pauses (pauses()) at its press, when it was pressed before it came here.
        std::optional<int> pausesBefore;
        // A press on screens held in its turn: never made moot by a take after it.
        bool neverMoot = false;
    };
    struct Hooks
    {
        std::function<void()> togglePause;
        std::function<void(const QString&)> say;
        // Nothing waits any more.
        std::function<void()> emptied;
        // Numbers a press among the operator's presses; what a press does when its turn comes is done as that press
        // (the status line keeps the words of a later press).
        std::function<quint64()> numberPress;
        std::function<std::optional<quint64>(std::optional<quint64>)> actAs;
        // A press has had its turn: the words of its wait come off the line when they still stand there.
        std::function<void(const QString&)> ended;
        // Dropped unheard: the words of its wait no longer hold the line for it.
        std::function<void(const QString&)> dropped;
    };

    TransportWait(MediaFiles& files, Hooks hooks, QObject* parent = nullptr);

    // Something waits for its answers: what comes now takes its turn behind it.
    bool waiting() const { return !m_steps.isEmpty() && !m_landing; }
    // A GO or a take waits its turn (not only a run's start, nor only the transport's own events).
    bool takeWaits() const;
    // A run's start waits its turn: what comes after it may never act.
    bool runWaits() const;
    // The name the status line gives the wait: the last press with a name.
    std::optional<QString> waitingFor() const;
    // Done now when nothing waits and its answers are in: whether it acted. True when it waits its turn.
    bool press(Press press);
    // An event of the transport itself, done in its turn; or, `pressed`, the operator's press that acts on what the
    // transport puts on air, done in its turn as that press.
    void hold(std::function<void()> event, bool pressed = false);
    // The operator's pause or resume.
    void notePause();
    // How many pauses have been pressed.
    int pauses() const { return m_pauses; }
    // Everything waiting is dropped.
    void clear();

  private:
    struct Step
    {
        Press press;
        // How many pauses had been pressed before it.
        int pausesBefore = 0;
        std::shared_ptr<std::optional<bool>> acted;
        // The press's number; none for the transport's own events.
        std::optional<quint64> number;
    };
    // Does what waits, in turn, as far as the answers are in; `pressed` when a press has just joined.
    void process(bool pressed = false);
    void dropMootSteps();
    void land(Step step);
    void landKept();

    MediaFiles& m_files;
    Hooks m_hooks;
    QList<Step> m_steps;
    // What dropped steps keep, waiting for their answers.
    QList<Step> m_kept;
    int m_pauses = 0;
    // A step is being done: what it presses comes first, in its turn.
    bool m_landing = false;
    int m_landingPauses = 0;
    qsizetype m_insertAt = 0;
};
