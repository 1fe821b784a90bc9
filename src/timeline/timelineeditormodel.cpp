#include "timelineeditormodel.h"

#include "engine.h"
#include "waitingedits.h"

#include <QPointer>
#include <algorithm>

TimelineEditorModel::TimelineEditorModel(Engine* engine, QObject* parent)
    : QObject(parent), m_cue(engine), m_selection(m_cue), m_view(engine), m_layout(m_cue, m_selection, m_view),
      m_edits(m_cue, m_selection, m_view), m_placement(m_cue, m_selection, m_view, m_edits),
      m_library(m_cue, m_selection, m_view, m_placement), m_shownShow(engine->showNumber())
{
    connect(&m_selection, &TimelineSelection::changed, this, &TimelineEditorModel::changed);
    connect(&m_view, &TimelineViewState::changed, this, &TimelineEditorModel::changed);
    connect(&engine->waitingEdits(), &WaitingEdits::changed, this, [this] { m_library.waitsChanged(); });
    connect(engine, &Engine::showChanged, this, [this] {
        emit changed();
        serveFocusRequest();
    });
    connect(engine, &Engine::currentChanged, this, &TimelineEditorModel::changed);
    connect(engine, &Engine::selectedChanged, this, &TimelineEditorModel::selectedCueChanged);
    connect(engine, &Engine::focusEventChanged, this, &TimelineEditorModel::serveFocusRequest);
}

void TimelineEditorModel::positionPointer(std::optional<TimelineLane> lane, double x)
{
    if (lane)
        m_selection.selectLane(*lane);
    m_selection.setInsertion(m_view.timeAt(x));
    m_selection.setEventID(std::nullopt);
    const std::optional<QUuid> cue = engine()->selected();
    if (!cue)
        return;
    emit showPreviewRequested();
    m_view.requestScrub({*cue, m_selection.insertion()});
}

QList<TimelineMenuItem> TimelineEditorModel::insertionMenu(QPointF point)
{
    using TimelineGeometry::laneIndexAt;
    if (const auto event = m_layout.eventAt(point)) {
        QList<TimelineMenuItem> items{{QStringLiteral("编辑事件…"), [this, e = *event] { m_edits.editEvent(e); }}};
        if (isScreen(event->track))
            items.append({QStringLiteral("送到预监"), [this, e = *event] {
                              engine()->previewEvent(e);
                              emit showPreviewRequested();
                          }});
        items.append({QStringLiteral("删除事件"), [this, id = event->id] { m_edits.deleteEvent(id); }});
        return items;
    }

    const QList<TimelineLane> all = m_cue.lanes();
    const auto index = laneIndexAt(point.y(), int(all.size()));
    const std::optional<TimelineLane> lane = index ? std::optional(all[*index]) : std::nullopt;
    const double time = m_view.timeAt(point.x());
    const TimelineLane mediaLane =
        lane && lane->screen ? *lane : TimelineLane{Track::main, 1, m_selection.effectiveScreen()};
    const TimelineLane audioLane = lane && (lane->track == Track::music || lane->track == Track::effects)
                                       ? *lane
                                       : TimelineLane{Track::music, 1, std::nullopt};

    QList<TimelineMenuItem> items{
        {QStringLiteral("添加视频…"), [=, this] { chooseAndInsert(AssetKind::video, mediaLane, time); }},
        {QStringLiteral("添加图片…"), [=, this] { chooseAndInsert(AssetKind::image, mediaLane, time); }},
        {QStringLiteral("添加音频…"), [=, this] { chooseAndInsert(AssetKind::audio, audioLane, time); }},
        {QStringLiteral("添加通讯事件…"), [=, this] { m_view.setMessageDraft(TimelineCueEdits::newMessage(time)); }},
        {QStringLiteral("添加媒体层"), [=, this] { m_edits.addLayer(Track::main, mediaLane.screen); }},
        {QStringLiteral("添加音频层"), [this] { m_edits.addLayer(Track::music, std::nullopt); }},
    };
    if (lane)
        items.append({QStringLiteral("删除轨道"), [this, l = *lane] { m_edits.requestLayerDeletion(l); }});
    return items;
}

// The file goes where the menu was opened, on the cue edited then, whatever the editor shows when it comes.
void TimelineEditorModel::chooseAndInsert(AssetKind kind, const TimelineLane& lane, double time)
{
    if (!m_chooseMediaFile)
        return;
    m_chooseMediaFile(kind, [self = QPointer(this), target = m_library.targetNow(lane, time)](const QUrl& file) {
        if (self)
            self->m_library.insertFile(file, target);
    });
}

// Another cue was selected: what belonged to the old one goes; zoom, lane selection and library stay.
// A take whose answers came late selects its cue as at its press: what the operator opened since (a message draft, a
// lane's deletion prompt, the library's note) would have been opened on that cue, and stays.
void TimelineEditorModel::selectedCueChanged()
{
    m_view.dropOpened(engine()->selectionCameLateAt());
    if (m_shownShow != engine()->showNumber()) {
        m_shownShow = engine()->showNumber();
        m_selection.setAssetID(std::nullopt);
    }
    m_selection.setEventID(std::nullopt);
    m_selection.setInsertion(0);
    m_view.clearScrubRequest();
    m_view.setScrollTime(0);
    emit changed();
    serveFocusRequest();
}

// A request to open an event waits while its event lies in another cue, and is dropped once no cue holds it. It is
// served on a later turn of the event loop, after the handlers of the change that brought it.
void TimelineEditorModel::serveFocusRequest()
{
    const std::optional<QUuid> wanted = engine()->focusEvent();
    if (!wanted || m_focusQueued)
        return;
    m_focusQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_focusQueued = false;
            const std::optional<QUuid> wanted = engine()->focusEvent();
            if (!wanted)
                return;
            for (const TimelineEvent& event : m_cue.events())
                if (event.id == *wanted) {
                    m_edits.editEvent(event);
                    m_view.setScrollTime(std::max(event.time - 2, 0.0));
                    engine()->setFocusEvent(std::nullopt);
                    return;
                }
            for (const Cue& cue : engine()->show().cues)
                if (cue.timeline && std::any_of(cue.timeline->cbegin(), cue.timeline->cend(),
                                                [&](const TimelineEvent& e) { return e.id == *wanted; }))
                    return;
            engine()->setFocusEvent(std::nullopt);
        },
        Qt::QueuedConnection);
}
