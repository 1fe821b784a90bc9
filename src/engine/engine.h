#pragma once

#include "displayscreen.h"
#include "player.h"
#include "projectionrun.h"
#include "remoteplaybackmode.h"
#include "screenclip.h"
#include "show.h"
#include "takenselections.h"
#include "videopreloadkey.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <QUuid>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AudioChannelMixer;
class Clock;
class CueCountdown;
class CommonStart;
class CueCycle;
class CuePreview;
class DisplayBindings;
class DisplayProvider;
class EditHistory;
class IndependentScreens;
class LightingOutput;
class MeasuredDurations;
class AwaitedFiles;
class MediaAskAhead;
class MediaFiles;
class FileQuestions;
class Picture;
class ProjectFileWork;
class RemoteHost;
class RunningTimeline;
class StalledStarts;
class StillPreloads;
class TimelineClock;
class TimelineSender;
class TransportWait;
class WaitingEdits;
class OutputWindowFactory;

// Owns the open show and everything that plays it. Lives on the main thread; views read its properties, redraw on
// their change signals and call its operations.
class Engine : public QObject
{
    Q_OBJECT
  public:
    // One preflight finding.
    struct PlaybackIssue
    {
        QUuid id = newUuid();
        Cue cue;
        std::optional<QUuid> eventID;
        std::optional<ScreenRole> screen;
        QString text;
        bool warning = false;
    };

    // The outside world as the engine sees it; anything left empty is the real one.
    struct Services
    {
        std::shared_ptr<Clock> clock;
        std::shared_ptr<DisplayProvider> displays;
        // Opens the output windows of bound screens; without one, bound screens stay without window.
        std::shared_ptr<OutputWindowFactory> windows;
        PlayerFactory players;
        // Where Art-Net packets go on the node; the standard port when empty.
        std::optional<quint16> artNetPort;
        // Makes the mobile-remote host, as a child of the engine, on first use of remoteHost(). The remote library
        // sits above the engine, so the application installs it; without one the engine has no remote.
        std::function<RemoteHost*(Engine*)> makeRemoteHost;
        // Whether a media file can be read, as the check before playback asks it; the file system when empty. Asked
        // on the file questions' threads, never on the main thread.
        std::function<bool(const QUrl&)> isReadableFile;
        // Answers questions about media files off the main thread; one over isReadableFile when empty.
        std::shared_ptr<FileQuestions> fileQuestions;
        // What the disk said of media files, shared by the main engine and its screen engines; one over
        // fileQuestions when empty.
        std::shared_ptr<MediaFiles> mediaFiles;
    };

    // The main engine monitors devices and tracks edits; engines for independent screens do neither.
    Engine(bool monitorsDevices, std::shared_ptr<AudioChannelMixer> audioMixer, const QString& recoveryDirectory,
           Services services = {}, QObject* parent = nullptr);
    ~Engine() override;

    const Show& show() const { return m_show; }
    // The show's screens (Show::screens), worked out once per change of the show rather than at every look.
    const QList<ScreenRole>& showScreens() const { return m_showScreens; }
    // Grows each time a show takes the place of another whole (opened, or unsaved work taken back), never with an
    // edit: work asked for one show can tell that another has taken its place.
    quint64 showNumber() const { return m_showNumber; }
    // Every write is an edit: recorded for undo, marks the project unsaved and schedules the recovery copy.
    void setShow(Show show);
    std::optional<QUuid> selected() const { return m_selected; }
    void setSelected(std::optional<QUuid> id);
    // When what is done now counts as done, in the operator's order: a press's work at its press, what else the
    // operator does after the last press.
    quint64 momentNow() const { return m_actingPress ? 2 * *m_actingPress : 2 * m_presses + 1; }
    // While the selection changes: the moment it counts at, when made by a take whose answers came after its press.
    // What a view opened after that moment was opened, had the answers been in, on this selection.
    std::optional<quint64> selectionCameLateAt() const { return m_selectionLateAt; }
    const std::optional<Cue>& current() const { return m_current; }
    std::optional<ProjectionMode> projectionMode() const { return m_projectionMode; }
    QString projectionPosition() const { return m_projectionPosition; }
    QString message() const { return m_message; }
    void setMessage(const QString& message);
    // A wait the status line told of (`said`) is over with no outcome of its own: the line, when it still tells of
    // it, says what holds now.
    void waitEnded(const QString& said);
    // What holds now, as the status line tells it when nothing else has a word: what waits, the cue on air, "就绪".
    QString holdingMessage() const;
    bool paused() const { return m_paused; }
    bool muted() const { return m_muted; }
    // Also mutes or unmutes every independent screen.
    void setMuted(bool muted);
    double musicVolume() const { return m_musicVolume; }
    void setMusicVolume(double volume);
    double effectsVolume() const { return m_effectsVolume; }
    void setEffectsVolume(double volume);
    bool videoBlack() const { return m_videoBlack; }
    void setVideoBlack(bool black);
    bool lightsBlack() const;
    void setLightsBlack(bool black);
    QList<DisplayScreen> displays() const;
    // Screens bound to a display now, by display number.
    QMap<ScreenRole, int> mappings() const;
    std::optional<QUrl> projectURL() const { return m_projectURL; }
    bool hasUnsavedChanges() const;
    // Unsaved work from before (a crash, or a project opened over it) waits to be taken back.
    bool canRecoverProject() const;
    std::optional<QUuid> focusEvent() const { return m_focusEvent; }
    void setFocusEvent(std::optional<QUuid> id);
    bool projectionTestPattern() const { return m_projectionTestPattern; }
    void setProjectionTestPattern(bool on);

    QUndoStack* editHistory();
    // "撤销" and "重做": while edits wait for the disk's answers, the newest of them is taken back instead.
    void undo();
    void redo();
    bool canUndo();
    bool canRedo();
    TimelineClock* timelineClock() const;
    double timelinePosition() const;
    const std::shared_ptr<AudioChannelMixer>& audioMixer() const { return m_audioMixer; }
    Picture* preview(const ScreenRole& role) const { return m_preview.value(role); }
    Picture* program(const ScreenRole& role) const { return m_program.value(role); }
    Player* audioPlayer(Bus bus) const;
    // Made on first use by the installed factory and kept for the engine's lifetime; null when none is installed.
    RemoteHost* remoteHost();
    // Existence, kind, size and stamps of media files, as far as the disk has answered; views mark files by it.
    MediaFiles& mediaFiles() const { return *m_mediaFiles; }

    // Project files, read and written aside, one at a time (projectFiles() tells how far): the outcome goes to the
    // status line when it comes, and a failure changes nothing.
    void saveProject(const QUrl& url);
    void openProject(const QUrl& url);
    // Takes back the work on offer as the open, unsaved show, read aside like a project file; failure goes to the
    // status line.
    void recoverUnsavedProject();
    // Gives up the open, save or recovery on its way ("取消"): the show and its files stay as they were.
    void cancelProjectFileWork();
    // How long writeRecovery() waits for the recovery folder.
    static constexpr std::chrono::seconds kRecoveryWriteWait{3};
    // Writes the recovery copy of unsaved work now (also when the application quits), waiting for it at most
    // kRecoveryWriteWait; throws ProjectFileError when it failed or its folder did not answer in time.
    void writeRecovery();
    void relinkMissingAssets(const QUrl& folder);

    // Output screens.
    void addScreen();
    void removeScreen(const ScreenRole& role);
    void setDefaultPicture(const std::optional<QUrl>& url);

    // Displays. Binding opens the screen's output window there and stores the display in the show; none unbinds.
    void bind(const ScreenRole& role, std::optional<int> display);
    // The connected display the screen is bound to now.
    std::optional<DisplayScreen> display(const ScreenRole& role) const;
    // "掉线", "独立暂停", "独立控制", "在线" or "仅监看".
    QString screenStatus(const ScreenRole& role) const;

    // Projector mappings.
    ProjectorMapping mapping(const ScreenRole& role) const;
    bool screenHasBinding(const ScreenRole& role) const;
    void setMapping(const ProjectorMapping& mapping, const ScreenRole& role);
    void applyProjectorMapping(const ScreenRole& role);
    void arrangeHorizontal(const ScreenRole& source, double overlap);

    // Transport. GO takes the cue after the one on air and honours its delay; take puts a cue on air now. Both tell
    // whether they acted (started the cue or its countdown), so callers that cannot see the status line, such as a
    // phone, learn of a refusal.
    std::optional<Cue> next() const;
    bool go(std::optional<RemotePlaybackMode> remoteMode = std::nullopt);
    bool take(const Cue& cue, bool useDelay = false, std::optional<RemotePlaybackMode> remoteMode = std::nullopt);
    void togglePause();
    // Takes everything off the air; the lights stay as they are.
    void stop(bool cancelMessages);

    // Automatic runs: one cue or the whole list, once or looped; false when the run was refused. A caller whose own
    // check of the same cues has just found nothing spares the run checking them again. A run that waits its turn
    // may still be refused when its answers come: begun is called when, and only if, the run starts.
    enum class Preflight { check, alreadyPassed };
    // A check of the cues a run would cover, done once the disk has answered about their files, in its turn behind
    // the transport's presses and the edits of the show still waiting for their answers: of the show as it will be
    // then, as with every answer in at its press.
    void checkInTurn(const QString& name, std::function<QList<Cue>()> cues, std::function<void()> check);
    bool beginProjection(ProjectionMode mode, const std::optional<Cue>& cue, Preflight preflight = Preflight::check,
                         std::function<void()> begun = {});

    // Independent screens: chosen screens leave the programme to play a cue of their own ("播放"; false when it
    // started on none), freeze ("暂停", at the programme's position for a screen that follows it), go on ("继续"),
    // stop and stay out ("停止"), or follow the programme again ("返回节目投放").
    bool play(const Cue& cue, const QSet<ScreenRole>& screens);
    void pauseScreens(const QSet<ScreenRole>& screens);
    void resumeScreens(const QSet<ScreenRole>& screens);
    void stopScreens(const QSet<ScreenRole>& screens);
    void returnScreensToProjection(const QSet<ScreenRole>& screens);

    // Preview: the preview pictures show a cue's opening, one clip, or stills of where a cue's timeline is at a
    // moment (after a short settling time, superseding the one before; timelinePreviewed() follows); never what is
    // on air, never a sound.
    void previewCue(const Cue& cue);
    void previewTimeline(const Cue& cue, double time);
    void previewEvent(const TimelineEvent& event);
    // The media library entry a clip plays.
    std::optional<MediaAsset> asset(const TimelineEvent& event) const;
    // Each library entry's place in show().assets by id (the first entry with that id), made once per change of
    // the library, so that finding a clip's entry costs one look-up.
    const QHash<QUuid, qsizetype>& assetPlaces() const;
    // A file's length as measured, for the library entry that still names that file and has none: no edit of the
    // show (no undo step, no unsaved mark), and kept through undo and redo. False when nothing took it.
    bool storeMeasuredDuration(const QUuid& asset, const QUrl& url, double seconds);
    // True while showChanged() tells of a measured length alone: the entries, their files and every cue are as
    // they were, so what depends on none of the lengths has nothing to do.
    bool lengthMeasured() const { return m_lengthMeasured; }

    // Lighting: the show's Art-Net target applied now, and a cue's fade.
    void configureLights();
    void applyLighting(const std::optional<Lighting>& lighting);

    // What would keep these cues from playing, cue by cue; warnings are screens seen only on the monitors.
    // firstCueOnly: the findings of the first cue that has any, the cues after it unchecked (a press that is refused
    // names its first finding alone).
    QList<PlaybackIssue> playbackIssues(const QList<Cue>& cues, const QList<MediaAsset>& assets, bool includeWarnings,
                                        bool firstCueOnly = false) const;

    // The parts the engine owns, for what they do beyond the operations above.
    EditHistory& history() { return *m_history; }
    const ProjectFileWork& projectFiles() const { return *m_projectFiles; }
    const DisplayBindings& displayBindings() const { return *m_displayBindings; }
    const IndependentScreens& independentScreens() const { return *m_independent; }
    CuePreview& cuePreview() { return *m_cuePreview; }
    WaitingEdits& waitingEdits() { return *m_waitingEdits; }
    // A waiting edit that lands: made on the show before its place among the undo steps and on every step after,
    // as if made at its press. True when its place is in the show now (not undone), the show in place made with it;
    // false when it went nowhere or waits undone for a redo.
    bool landEdit(quint64 edit, const std::function<Show(const Show&)>& made);

  signals:
    void showChanged();
    void selectedChanged();
    void currentChanged();
    void projectionModeChanged();
    void projectionPositionChanged();
    void messageChanged();
    void pausedChanged();
    void mutedChanged();
    void musicVolumeChanged();
    void effectsVolumeChanged();
    void videoBlackChanged();
    void lightsBlackChanged();
    void displaysChanged();
    void mappingsChanged();
    void projectURLChanged();
    void hasUnsavedChangesChanged();
    void canRecoverProjectChanged();
    void focusEventChanged();
    void projectionTestPatternChanged();
    // A screen's pictures were made or dropped.
    void screensChanged();
    // A screen left or rejoined the programme, or one that left was paused or resumed.
    void independentScreensChanged();
    // Every preview picture shows its still of the latest previewTimeline().
    void timelinePreviewed();
    // What "撤销" or "重做" can do changed.
    void undoableChanged();

  private:
    void restoreEdit(const Show& target);
    // Puts the show in place whether or not it equals the one before, which is freed aside.
    void placeShow(Show show);
    // What to add to the status line for the edits it dropped.
    QString replaceShow(const Show& show);
    void takeSavedShow(const Show& written, const QUrl& url, const QString& alsoSaid);
    QString outcomeLanded(const QString& lineAtPress) const;
    void saveInTurn(quint64 turn, const QUrl& url, quint64 pressed, const Show& atPress, const QString& lineAtPress);
    void takeBackOffered(const Show& recovered, bool unsavedWorkParked);
    void setProjectURL(std::optional<QUrl> url);
    void selectFirstCueUnlessPresent();

    void syncScreens();
    void letLeavingScreensGo();
    QList<ScreenRole> screensWithPictures() const;
    void applyDefaultPicture();
    void restoreDisplayBindings();
    void storeBinding(const ScreenRole& role, const std::optional<QString>& identity);
    std::optional<QImage> defaultPictureImage();
    // What the status line adds while the show's own default picture is on its way to the screens, if anything.
    std::optional<QString> defaultPictureWait() const;
    // The line, where it still tells of the wait for the default picture, tells what holds now.
    void retellDefaultPictureWait();
    // The opening line of a show put in place, with the wait for its default picture.
    QString withDefaultPictureWait(const QString& text);
    void chooseDefaultPicture(const std::optional<QUrl>& url, quint64 edit);
    struct Relinked;
    // Once the show's files are gathered: asks the disk about them, then about the files found in their place.
    void awaitRelink(quint64 edit, const QUrl& folder, const std::shared_ptr<Relinked>& relinked);
    void landRelink(quint64 edit, const Relinked& relinked, int silent);
    void showDecodedDefaultPicture(const QString& path, const QImage& image);
    bool cueUsesScreen(const Cue& cue, const ScreenRole& role) const;
    bool canPlay(const Cue& cue, const QList<MediaAsset>& assets);
    // A refusal that named a file whose folder was silent ends once the cue's check no longer finds it so.
    void endSilentRefusal();
    static QString timelineText(const Cue& cue);
    QList<QUrl> showMediaFiles() const;

    void setCurrent(std::optional<Cue> cue);
    void setPaused(bool paused);
    void setProjectionMode(std::optional<ProjectionMode> mode);
    void setProjectionPosition(const QString& position);
    void dropDelayOfRemovedCue();
    QList<Player*> transportPlayers() const;
    // take() once the edits of the show waiting before it are made.
    bool takeInTurn(const Cue& cue, bool useDelay, std::optional<RemotePlaybackMode> remoteMode,
                    std::optional<int> pausesAtPress = std::nullopt);
    // take() and beginProjection() once the answers their check needs are in, checked against the assets of their
    // moment.
    bool takeNow(const Cue& cue, bool useDelay, std::optional<RemotePlaybackMode> remoteMode,
                 const QList<MediaAsset>& assets);
    bool beginProjectionInTurn(ProjectionMode mode, const std::optional<Cue>& cue, Preflight preflight,
                               std::function<void()> begun, std::optional<int> pausesAtPress = std::nullopt,
                               const std::optional<Show>& asAtPress = std::nullopt);
    // A take, or a run's start, waiting behind edits of the show, by its name among them.
    static QString takeBehindEdits() { return QStringLiteral("播放"); }
    void checkNow(const QString& name, const QList<Cue>& cues, std::function<void()> check);
    static QString runBehindEdits() { return QStringLiteral("投放"); }
    static QString screensBehindEdits() { return QStringLiteral("屏幕操作"); }
    bool transportBehindEdits() const;
    bool beginProjectionNow(ProjectionMode mode, const QList<Cue>& cues, const QList<MediaAsset>& assets,
                            Preflight preflight);
    // The end of a countdown, or of a cue that goes on to the next, in its turn behind what waits for answers.
    void inTurn(std::function<void()> event);
    // A press that acts on what the transport puts on air (a press on screens), in its turn behind the transport's
    // presses still waiting for their answers, done then as the press it was.
    void behindTransport(std::function<void()> press);

    void start(const Cue& cue, double position, bool startPaused, std::optional<RemotePlaybackMode> remoteMode);
    void selectStarted(const QUuid& id);
    // A take that waits for its answers selects its cue at its press; refused when they come, it gives it back.
    void selectAtTakePress(const Cue& cue, bool useDelay);
    void giveSelectionBack();
    void startDirectCue(const Cue& cue, double position, bool startPaused,
                        std::optional<RemotePlaybackMode> remoteMode);
    void placeDirectPicture(const Cue& cue, const ScreenRole& role);
    void watchDirectStart(const Cue& cue, const QList<Player*>& players, const QString& onAir);
    void showAwaitedStill(const QString& path);
    void observeItem(Player* player, const std::function<void(Player*)>& ended,
                     const std::function<void(Player*)>& failed);
    void directPlayerEnded(Player* player, const Cue& cue, std::optional<RemotePlaybackMode> remoteMode,
                           const QList<Player*>& players);
    void directPlayerFailed(Player* player, const Cue& cue, std::optional<RemotePlaybackMode> remoteMode);
    void reportFailedStills(const Cue& cue);
    void remotePlayerDone(Player* player, const Cue& cue, RemotePlaybackMode mode, bool failed);

    void startTimeline(const QList<TimelineEvent>& events, const Cue& cue, bool startImmediately);
    bool tickTimeline();
    void execute(const TimelineEvent& event, const Cue& cue);
    void executeAudioClip(const TimelineEvent& event, const MediaAsset& asset, const Cue& cue);
    void executeScreenClip(const TimelineEvent& event, const MediaAsset& asset, const Cue& cue);
    void timelineAudioEnded(Player* player, const Cue& cue);
    void finishTimeline(const Cue& cue);
    void resetTimeline(const QSet<ScreenRole>& preserving);
    void clearObservers();
    QList<MediaAsset> runAssets() const;

    void endScreenPlayback(const ScreenRole& role);
    void endPlayerOfRemovedScreen(Player* player);
    void refreshScreenClips();
    void refreshScreen(const ScreenRole& role, Picture* program);
    bool shouldHoldVideo(const ScreenRole& role) const;
    bool startsWithVideo(const std::optional<Cue>& cue, const ScreenRole& role) const;
    void refreshVideoPreloads();
    QList<VideoPreloadKey> nextCueVideos(const Cue& cue);
    std::shared_ptr<Picture> takePreparedVideo(const ScreenRole& role, const QUrl& url);
    std::shared_ptr<Picture> makeVideoPicture();
    void setForeground(const ScreenRole& role, std::shared_ptr<Picture> picture);
    void clearForeground(const ScreenRole& role);

    void updateVolumes();
    // Whether the cue plays sound that someone is meant to hear: a sound file, or a picture's own sound turned on.
    bool meansToBeHeard(const Cue& cue) const;
    // Says on the status line, after what it says already, that sound goes to the silent sink for want of a device.
    void noteSilentSound();

    std::optional<Cue> nextPlaybackCue() const;
    void queueProjectionAdvance();
    void advanceProjection();
    void playProjectionCue();
    void legacyProjectionEnded(Player* player);
    void finishRemotePlayback(const Cue& cue, RemotePlaybackMode mode);

    RemoteHost* m_remoteHost = nullptr;
    Show m_show;
    QList<ScreenRole> m_showScreens = m_show.screens();
    mutable std::optional<QHash<QUuid, qsizetype>> m_assetPlaces;
    bool m_lengthMeasured = false;
    quint64 m_showNumber = 0;
    EditHistory* m_history;
    ProjectFileWork* m_projectFiles;
    std::optional<QUrl> m_projectURL;

    std::optional<QUuid> m_selected;
    std::optional<Cue> m_current;
    std::optional<ProjectionMode> m_projectionMode;
    QString m_projectionPosition;
    ProjectionRun m_run;
    // The shortest time on air of a run's cue and of each round of a phone's loop.
    CueCycle* m_cueCycle;
    // The players of the direct cue on air, until they have begun together.
    CommonStart* m_commonStart;
    // What came due on air and has not loaded, named once its folder is found not to answer.
    StalledStarts* m_stalledStarts;
    std::optional<RemotePlaybackMode> m_remotePlaybackMode;
    QSet<const Player*> m_remotePlaybackItems;
    // Whether a player of the remote playback failed; its failure then stays on the status line.
    bool m_remotePlaybackFailed = false;
    QSet<const Player*> m_legacyProjectionItems;

    QString m_message;
    bool m_muted = false;
    double m_musicVolume = 0.8;
    double m_effectsVolume = 0.8;
    bool m_videoBlack = false;
    bool m_paused = false;

    QHash<ScreenRole, Picture*> m_preview;
    QHash<ScreenRole, Picture*> m_program;
    // Screens an edit took out of the show while something played: they stay on air until nothing plays.
    QList<ScreenRole> m_leavingScreens;
    std::array<Player*, 2> m_audio{};
    QList<QMetaObject::Connection> m_playbackObservers;
    // The engine's own pictures shown as a program picture's foreground, kept alive while they are shown.
    QHash<ScreenRole, std::shared_ptr<Picture>> m_foregrounds;
    // Stills of the direct cue on air still decoding, by screen; each screen shows what it showed until then.
    QHash<ScreenRole, QUrl> m_awaitedStills;
    // The default picture while it decodes off the main thread, and whether the screen engines wait for it too.
    std::optional<QString> m_awaitedDefaultPicture;
    // A default picture being set whose file is being looked at: whether it reads is not known yet. With the waiting
    // edit that sets it.
    struct LookedDefaultPicture
    {
        QUrl url;
        quint64 edit;
    };
    std::optional<LookedDefaultPicture> m_lookedDefaultPicture;
    bool m_awaitedDefaultReachesScreenEngines = false;

    LightingOutput* m_lights;

    CueCountdown* m_countdown;
    // The cue a check refused because a file's folder was silent, while the status line says so.
    // A screen's own play refused so is kept here too, its line led by the screen's name (`prefix`): the screen's
    // engine goes with the refusal.
    struct SilentRefusal
    {
        QString said;
        Cue cue;
        QList<MediaAsset> assets;
        QString prefix;
    };
    std::optional<SilentRefusal> m_silentRefusal;

    RunningTimeline* m_timeline;
    QHash<VideoPreloadKey, std::shared_ptr<Picture>> m_preparedVideos;
    QMap<ScreenRole, QMap<qint64, ScreenClip>> m_screenClips;
    std::unique_ptr<StillPreloads> m_stillPreloads;
    // Screens that still show the last picture of the cue before, until this cue's opening video is ready there.
    QSet<ScreenRole> m_heldScreens;
    TimelineSender* m_sender;
    QMap<Track, QMap<qint64, Player*>> m_timelineAudio;
    QSet<const Player*> m_activeTimelinePlayers;
    static constexpr double videoTransitionTolerance = 0.25;
    // The first videos of the cue that plays next, worked out again only when that cue, the assets or the show's
    // screens change.
    struct NextCueVideos
    {
        Cue cue;
        QList<MediaAsset> assets;
        QList<ScreenRole> screens;
        QList<VideoPreloadKey> keys;
    };
    std::optional<NextCueVideos> m_nextCueVideos;
    // A video to prepare waits for the disk's first answer about its file.
    bool m_preloadsAwaitAnswers = false;

    friend class IndependentScreens;
    IndependentScreens* m_independent;
    CuePreview* m_cuePreview;
    std::unique_ptr<MeasuredDurations> m_measuredDurations;
    // What the disk said of media files, asked off the main thread.
    MediaFiles* m_mediaFiles;
    // Takes, GOs, runs and the transport's own events behind one that waits for the disk's answers.
    TransportWait* m_transportWait;
    // Goes up whenever the transport acts (a cue taken, a countdown begun, a run begun) or stops: an event held
    // behind a wait that finds it moved was overtaken by what came before it.
    quint64 m_transportActs = 0;
    // The press after which the selection was made: the operator's select comes after the last press numbered, a
    // take's start at its own press. A take whose answers came late selects its cue only over a selection made
    // before its press, as it would have at the press.
    quint64 m_selectedBy = 0;
    std::optional<quint64> m_selectionLateAt;
    // Counts the selection's changes, so that a take refused late gives back only the selection it made.
    quint64 m_selectionChanges = 0;
    TakenSelections m_takenSelections;
    // A take is being pressed: what its own press starts now comes at its press, not late.
    bool m_taking = false;
    // Presses that may act later (GO, take, a run, an edit that waits for the disk) are numbered; the status line
    // remembers whose words it holds, and which press acts now.
    quint64 m_presses = 0;
    quint64 m_lineSaidBy = 0;
    // The newest outcome kept off the line by a later press's words since the line last changed.
    std::optional<QString> m_keptOffLine;
    std::optional<quint64> m_actingPress;
    std::optional<quint64> actAs(std::optional<quint64> press);
    // Relinks, default pictures, imports and files put on lanes, until their files have answered.
    WaitingEdits* m_waitingEdits;
    // The show's default picture, until its file has answered; the picture it waits for.
    AwaitedFiles* m_pictureWait;
    std::optional<QUrl> m_pictureWaitFor;
    // The show's default picture while its folder does not answer: it is read again once the folder answers.
    std::optional<QUrl> m_pictureSilentFor;
    // The wait for the default picture as the status line was last told of it.
    std::optional<QString> m_pictureWaitTold;
    MediaAskAhead* m_askAhead = nullptr;
    std::shared_ptr<AudioChannelMixer> m_audioMixer;
    std::optional<QUuid> m_focusEvent;
    bool m_projectionTestPattern = false;

    Services m_services;
    // Last: its windows observe everything above and must close first.
    DisplayBindings* m_displayBindings;
};
