#pragma once

#include "checkanswers.h"
#include "cue.h"
#include "mediaasset.h"
#include "screenrole.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

class Engine;

// The screens that have left the programme, each driven by a screen engine of its own: an Engine without device
// monitoring whose show holds that one screen and one cue. The main engine's program picture of such a screen shows
// the screen engine's picture in its place, so everything that watches the screen follows without knowing.
class IndependentScreens : public QObject
{
    Q_OBJECT
  public:
    explicit IndependentScreens(Engine& main);
    ~IndependentScreens() override;

    // Plays the cue on each of the screens; false when it started on none of them. A play whose files have not
    // answered yet waits for them in its turn, the show going on meanwhile, and is done as it would have been now.
    bool play(const Cue& cue, const QSet<ScreenRole>& screens);
    // A screen that follows the programme is frozen where the programme is. Pausing or resuming a screen with a play
    // on its way acts now, and again on that play when it starts.
    void pause(const QSet<ScreenRole>& screens);
    void resume(const QSet<ScreenRole>& screens);
    // Stopped screens stay out of the programme, showing their idle picture, until they return. Stopping or
    // returning a screen drops the plays still on their way to it.
    void stop(const QSet<ScreenRole>& screens);
    void returnToProjection(const QSet<ScreenRole>& screens);
    // Every screen follows the programme again, and no play on its way starts.
    void returnAll();
    // The screen left the show: its screen engine ends with it.
    void drop(const ScreenRole& role);

    // The engine that drives a screen while it plays apart from the programme; null while it follows.
    Engine* engine(const ScreenRole& role) const { return m_screens.value(role); }
    bool contains(const ScreenRole& role) const { return m_screens.contains(role); }
    QList<Engine*> engines() const { return m_screens.values(); }
    // The cue of the newest play still waiting for its files' answers.
    std::optional<QString> waitingPlay() const;

  signals:
    // A screen left or rejoined the programme, or a screen engine was paused or resumed.
    void changed();

  private:
    struct WaitingPlay
    {
        Cue cue;
        QList<MediaAsset> assets;
        QSet<ScreenRole> screens;
        CheckAnswers answers;
        // Pressed meanwhile: paused (true) or resumed (false) once the cue is on the screen.
        QHash<ScreenRole, bool> paused;
        // Its press among the operator's (Engine::m_presses).
        std::optional<quint64> number;
    };
    bool playNow(const WaitingPlay& play);
    void playAnswered();
    void holdPause(const QSet<ScreenRole>& screens, bool paused);
    void pauseNow(const QSet<ScreenRole>& screens);
    void stopNow(const QSet<ScreenRole>& screens);
    void returnNow(const QSet<ScreenRole>& screens);
    void resumeNow(const QSet<ScreenRole>& screens);
    void dropWaitingPlays(const QSet<ScreenRole>& screens);

    bool install(const Cue& cue, const ScreenRole& role, const QList<MediaAsset>& assets, double position, bool paused);
    Engine* makeSession(const ScreenRole& role);
    void route(const ScreenRole& role, Engine* session);
    void discard(Engine* session);
    // Where the programme is on a screen now, in seconds into the cue on air.
    double programmePosition(const ScreenRole& role) const;
    QList<ScreenRole> inShowOrder(const QSet<ScreenRole>& screens) const;

    Engine& m_main;
    QHash<ScreenRole, Engine*> m_screens;
    // Plays waiting for their files' answers, in the order pressed.
    QList<WaitingPlay> m_waiting;
};
