#pragma once

#include "displayscreen.h"
#include "player.h"
#include "show.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUndoStack>
#include <QUrl>
#include <QUuid>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class AudioChannelMixer;
class Clock;
class DelayedTask;
class DisplayProvider;
class FileQueue;
class Picture;
class RemoteHost;
class ShowEdit;
class TimelineClock;
class QWindow;

// Owns the open show and everything that plays it. Lives on the main thread; views read its properties, redraw on
// their change signals and call its operations.
class Engine : public QObject
{
    Q_OBJECT
public:
    // One preflight finding.
    struct PlaybackIssue
    {
        QUuid id = QUuid::createUuid();
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
        PlayerFactory players;
        // Whether the edit being recorded comes from a mouse drag.
        std::function<bool()> isDragging;
    };

    // The main engine monitors devices and tracks edits; engines for independent screens do neither.
    Engine(bool monitorsDevices, std::shared_ptr<AudioChannelMixer> audioMixer, const QString& recoveryDirectory,
           Services services = {}, QObject* parent = nullptr);
    ~Engine() override;

    const Show& show() const { return m_show; }
    // Every write is an edit: recorded for undo, marks the project unsaved and schedules the recovery copy.
    void setShow(Show show);
    std::optional<QUuid> selected() const { return m_selected; }
    void setSelected(std::optional<QUuid> id);
    const std::optional<Cue>& current() const { return m_current; }
    std::optional<ProjectionMode> projectionMode() const { return m_projectionMode; }
    QString message() const { return m_message; }
    void setMessage(const QString& message);
    bool videoBlack() const { return m_videoBlack; }
    void setVideoBlack(bool black);
    bool lightsBlack() const { return m_lightsBlack; }
    void setLightsBlack(bool black);
    QList<DisplayScreen> displays() const { return m_displays; }
    // Screens bound to a display now, by display number.
    QMap<ScreenRole, int> mappings() const { return m_mappings; }
    std::optional<QUrl> projectURL() const { return m_projectURL; }
    bool hasUnsavedChanges() const { return m_hasUnsavedChanges; }
    // Unsaved work from before (a crash, or a project opened over it) waits to be taken back.
    bool canRecoverProject() const { return m_canRecoverProject; }
    std::optional<QUuid> focusEvent() const { return m_focusEvent; }
    void setFocusEvent(std::optional<QUuid> id);
    bool projectionTestPattern() const { return m_projectionTestPattern; }
    void setProjectionTestPattern(bool on);

    QUndoStack* editHistory() { return &m_editHistory; }
    TimelineClock* timelineClock() const { return m_timelineClock; }
    const std::shared_ptr<AudioChannelMixer>& audioMixer() const { return m_audioMixer; }
    Picture* preview(const ScreenRole& role) const { return m_preview.value(role); }
    Picture* program(const ScreenRole& role) const { return m_program.value(role); }
    Player* audioPlayer(Bus bus) const;
    // Made on first use.
    RemoteHost* remoteHost();

    // Project files. The throwing ones throw ProjectFileError and then change nothing.
    void saveProject(const QUrl& url);
    void openProject(const QUrl& url);
    // Takes back the work on offer as the open, unsaved show; failure goes to the status line.
    void recoverUnsavedProject();
    // Writes the recovery copy of unsaved work now (also when the application quits).
    void writeRecovery();
    void relinkMissingAssets(const QUrl& folder);

    // Output screens.
    void addScreen();
    void removeScreen(const ScreenRole& role);
    void setDefaultPicture(const std::optional<QUrl>& url);

    // Projector mappings.
    ProjectorMapping mapping(const ScreenRole& role) const;
    bool screenHasBinding(const ScreenRole& role) const;
    void setMapping(const ProjectorMapping& mapping, const ScreenRole& role);
    void applyProjectorMapping(const ScreenRole& role);
    void arrangeHorizontal(const ScreenRole& source, double overlap);

    // What would keep these cues from playing, cue by cue; warnings are screens seen only on the monitors.
    QList<PlaybackIssue> playbackIssues(const QList<Cue>& cues, const QList<MediaAsset>& assets,
                                        bool includeWarnings) const;

signals:
    void showChanged();
    void selectedChanged();
    void currentChanged();
    void projectionModeChanged();
    void messageChanged();
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

private:
    void projectChanged(const Show& previous);
    void restoreEdit(const Show& target);
    void replaceShow(const Show& show);
    void queueRecovery();
    void writeRecoveryInBackground();
    void removeRollingCopy();
    void parkUnsavedWork();
    void adoptLeftoverRecovery();
    void setHasUnsavedChanges(bool unsaved);
    void setCanRecoverProject(bool can);
    void setProjectURL(std::optional<QUrl> url);
    void selectFirstCueUnlessPresent();

    void syncScreens();
    void applyDefaultPicture();
    void restoreDisplayBindings();
    void closeWindow(const ScreenRole& role);
    std::optional<QImage> defaultPictureImage() const;
    bool cueUsesScreen(const Cue& cue, const ScreenRole& role) const;
    bool canPlay(const Cue& cue, const QList<MediaAsset>& assets);

    QPointer<RemoteHost> m_remoteHost;
    Show m_show;
    QUndoStack m_editHistory;
    std::optional<QUrl> m_projectURL;
    bool m_hasUnsavedChanges = false;
    bool m_canRecoverProject = false;
    Show m_savedShow;
    bool m_loadingProject = false;
    bool m_tracksProjectEdits = false;
    bool m_restoringEdit = false;
    double m_lastDragChange;
    ShowEdit* m_dragStep = nullptr;
    DelayedTask* m_recoveryTask;
    FileQueue* m_fileQueue;
    QString m_recoveryPath;
    QString m_parkedPath;

    std::optional<QUuid> m_selected;
    std::optional<Cue> m_current;
    std::optional<ProjectionMode> m_projectionMode;

    QString m_message;
    bool m_videoBlack = false;
    bool m_lightsBlack = false;
    QList<DisplayScreen> m_displays;
    QMap<ScreenRole, int> m_mappings;

    QHash<ScreenRole, Picture*> m_preview;
    QHash<ScreenRole, Picture*> m_program;
    std::array<Player*, 2> m_audio{};
    QHash<ScreenRole, QPointer<QWindow>> m_windows;

    TimelineClock* m_timelineClock;
    QHash<ScreenRole, Engine*> m_independentScreens;
    std::shared_ptr<AudioChannelMixer> m_audioMixer;
    std::optional<QUuid> m_focusEvent;
    bool m_projectionTestPattern = false;

    Services m_services;
};
