#include "timelineeditormodel.h"

#include "assign.h"
#include "clipplacement.h"
#include "engine.h"

#include <cmath>

using namespace TimelineGeometry;

double TimelineEditorModel::timeAt(double x) const
{
    return TimelineGeometry::timeAt(x, scrollTime(), zoom());
}

void TimelineEditorModel::zoomAbout(double delta, double x)
{
    const View zoomed = zoomedAbout(m_view, delta, x);
    if (assign(m_view, zoomed))
        emit changed();
}

void TimelineEditorModel::pan(double dx)
{
    setScrollTime(pannedScroll(scrollTime(), dx, zoom()));
}

QList<RulerLabel> TimelineEditorModel::rulerLabels(double viewportWidth) const
{
    return TimelineGeometry::rulerLabels(scrollTime(), zoom(), viewportWidth);
}

double TimelineEditorModel::drawnWidth(const TimelineEvent& event) const
{
    return TimelineGeometry::drawnWidth(mediaDuration(event), zoom());
}

QList<TimelineEditorModel::LaneClip> TimelineEditorModel::visibleClips(const TimelineLane& lane,
                                                                       double viewportWidth) const
{
    const QList<TimelineEvent> timeline = events();
    const QList<MediaAsset> library = assets();
    const ClipPlacement placement(timeline, library);
    QList<LaneClip> clips;
    for (const TimelineEvent& event : timeline) {
        if (!isValidTime(event.time) || !lane.matches(event))
            continue;
        const double x = xOf(event.time, scrollTime(), zoom());
        const double width = TimelineGeometry::drawnWidth(placement.mediaDuration(event), zoom());
        if (x >= viewportWidth || x + width <= 0)
            continue;
        const MediaAsset* entry = placement.asset(event);
        clips.append({event, entry ? std::optional(*entry) : std::nullopt, x, width});
    }
    return clips;
}

void TimelineEditorModel::positionPointer(std::optional<TimelineLane> lane, double x)
{
    if (lane)
        selectLane(*lane);
    setInsertion(timeAt(x));
    setEventID(std::nullopt);
    const std::optional<QUuid> cue = m_engine->selected();
    if (!cue)
        return;
    emit showPreviewRequested();
    m_scrubRequest = ScrubRequest{*cue, m_insertion};
    emit scrubRequestChanged();
}

bool TimelineEditorModel::dropAsset(const QUuid& assetID, const TimelineLane& lane, double x, bool bypassSnap)
{
    TimelineEvent probe;
    probe.assetID = assetID;
    const std::optional<MediaAsset> entry = asset(probe);
    if (!entry)
        return false;
    if (!accepts(lane.track, *entry)) {
        setNote(rawValue(entry->kind) + QStringLiteral("无法放入") + lane.title() + QStringLiteral("轨道"));
        return false;
    }
    selectLane(lane);
    setInsertion(timeAt(x));
    setAssetID(entry->id);
    return addEvent(bypassSnap);
}

std::optional<TimelineEvent> TimelineEditorModel::eventAt(QPointF point) const
{
    const QList<TimelineLane> all = lanes();
    const auto index = laneIndexAt(point.y(), int(all.size()));
    if (!index || !inClipBand(point.y()))
        return std::nullopt;
    const TimelineLane& lane = all[*index];
    const QList<TimelineEvent> timeline = events();
    const QList<MediaAsset> library = assets();
    const ClipPlacement placement(timeline, library);
    for (qsizetype i = timeline.size() - 1; i >= 0; --i) {
        const TimelineEvent& event = timeline[i];
        if (!isValidTime(event.time) || !lane.matches(event))
            continue;
        const double left = xOf(event.time, scrollTime(), zoom());
        const double width = TimelineGeometry::drawnWidth(placement.mediaDuration(event), zoom());
        if (point.x() >= left && point.x() <= left + width)
            return event;
    }
    return std::nullopt;
}

QList<TimelineMenuItem> TimelineEditorModel::insertionMenu(QPointF point)
{
    if (const auto event = eventAt(point)) {
        QList<TimelineMenuItem> items{{QStringLiteral("编辑事件…"), [this, e = *event] { editEvent(e); }}};
        if (isScreen(event->track))
            items.append({QStringLiteral("送到预监"), [this, e = *event] {
                              m_engine->previewEvent(e);
                              emit showPreviewRequested();
                          }});
        items.append({QStringLiteral("删除事件"), [this, id = event->id] { deleteEvent(id); }});
        return items;
    }

    const QList<TimelineLane> all = lanes();
    const auto index = laneIndexAt(point.y(), int(all.size()));
    const std::optional<TimelineLane> lane = index ? std::optional(all[*index]) : std::nullopt;
    const double time = timeAt(point.x());
    const TimelineLane mediaLane = lane && lane->screen ? *lane : TimelineLane{Track::main, 1, effectiveScreen()};
    const TimelineLane audioLane = lane && (lane->track == Track::music || lane->track == Track::effects)
                                       ? *lane
                                       : TimelineLane{Track::music, 1, std::nullopt};

    QList<TimelineMenuItem> items{
        {QStringLiteral("添加视频…"), [=, this] { chooseAndInsert(AssetKind::video, mediaLane, time); }},
        {QStringLiteral("添加图片…"), [=, this] { chooseAndInsert(AssetKind::image, mediaLane, time); }},
        {QStringLiteral("添加音频…"), [=, this] { chooseAndInsert(AssetKind::audio, audioLane, time); }},
        {QStringLiteral("添加通讯事件…"), [=, this] { setMessageDraft(newMessage(time)); }},
        {QStringLiteral("添加媒体层"), [=, this] { addLayer(Track::main, mediaLane.screen); }},
        {QStringLiteral("添加音频层"), [this] { addLayer(Track::music, std::nullopt); }},
    };
    if (lane)
        items.append({QStringLiteral("删除轨道"), [this, l = *lane] { requestLayerDeletion(l); }});
    return items;
}

void TimelineEditorModel::chooseAndInsert(AssetKind kind, const TimelineLane& lane, double time)
{
    if (!m_chooseMediaFile)
        return;
    if (const std::optional<QUrl> file = m_chooseMediaFile(kind))
        insertFile(*file, lane, time);
}
