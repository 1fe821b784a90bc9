#include "timelineeditormodel.h"

#include "clipplacement.h"
#include "engine.h"
#include "findbyid.h"
#include "timelinenotes.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

using namespace TimelineGeometry;

static const QString kEditOverlapNote = QStringLiteral("同一轨道的素材不能重叠，请调整时间或层级。");

QList<TimelineEvent> TimelineEditorModel::pickerEvents() const
{
    QList<TimelineEvent> sorted = events();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimelineEvent& a, const TimelineEvent& b) { return a.time < b.time; });
    return sorted;
}

QString TimelineEditorModel::pickerText(const TimelineEvent& event) const
{
    const QString time = QLocale().toString(event.time, 'f', QLocale::FloatingPointShortest);
    const std::optional<ScreenRole> screen = event.screen();
    const QString where = screen ? screen->rawValue : rawValue(event.track);
    const std::optional<MediaAsset> entry = asset(event);
    const QString what = entry ? entry->url.fileName() : rawValue(event.transport);
    return time + QStringLiteral(" 秒 · ") + where + QStringLiteral(" · ") + what;
}

// The scroll range reaches past the last clip's end, the insertion time and the playing position, at least a
// minute, and always covers where the view stands.
double TimelineEditorModel::navigationLimit() const
{
    const QList<TimelineEvent> timeline = events();
    const QList<MediaAsset> library = assets();
    const ClipPlacement placement(timeline, library);
    double contentEnd = 0;
    for (const TimelineEvent& event : timeline)
        if (isValidTime(event.time))
            contentEnd = std::max(contentEnd, event.time + placement.mediaDuration(event).value_or(0));
    const double extent = std::max({60.0, contentEnd, m_insertion, m_engine->timelinePosition()});
    return std::max(scrollTime(), std::min(kLatestTime, extent));
}

static bool placementFieldsDiffer(const TimelineEvent& a, const TimelineEvent& b)
{
    // A time that is not a number, as a project file may hold, is not a change of itself.
    const bool sameTime = a.time == b.time || (std::isnan(a.time) && std::isnan(b.time));
    return !sameTime || a.layer != b.layer || a.assetID != b.assetID || a.imageDuration != b.imageDuration;
}

bool TimelineEditorModel::applyEventEdit(int editedCue, const TimelineEvent& edited)
{
    if (cueIndex() != editedCue)
        return false;
    QList<TimelineEvent> timeline = events();
    const auto stored = findById(timeline, edited.id);
    if (stored == timeline.end())
        return false;
    if (placementFieldsDiffer(edited, *stored)) {
        if (!isValidTime(edited.time)) {
            setNote(kTimeRangeNote);
            return false;
        }
        if (!canPlace(edited)) {
            setNote(kEditOverlapNote);
            return false;
        }
    }
    *stored = edited;
    updateEvents(timeline);
    if (isValidTime(edited.time))
        setInsertion(edited.time);
    return true;
}

std::optional<double> TimelineEditorModel::typedPictureDuration(double seconds)
{
    if (!std::isfinite(seconds))
        return std::nullopt;
    return std::clamp(seconds, 0.01, kLatestTime);
}

bool TimelineEditorModel::videoSoundOff(const TimelineEvent& event)
{
    if (event.videoMuted)
        return *event.videoMuted;
    return event.screen() == kScreen1 ? !event.videoAudio : true;
}

TimelineEvent TimelineEditorModel::newMessage(double time)
{
    TimelineEvent event;
    event.time = time;
    event.track = Track::message;
    event.transport = Transport::udp;
    event.host = QStringLiteral("127.0.0.1");
    event.port = 9000;
    event.oscAddress = QStringLiteral("/cue");
    return event;
}

void TimelineEditorModel::openNewMessage()
{
    if (!cueIndex())
        return;
    if (!isValidTime(m_insertion)) {
        setNote(kTimeRangeNote);
        return;
    }
    setMessageDraft(newMessage(m_insertion));
}

void TimelineEditorModel::saveMessage(const TimelineEvent& saved)
{
    QList<TimelineEvent> timeline = events();
    const auto stored = findById(timeline, saved.id);
    if (stored != timeline.end())
        *stored = saved;
    else
        timeline.append(saved);
    updateEvents(timeline);
    setEventID(saved.id);
    setLaneSelection(Track::message, 1, std::nullopt);
    setInsertion(saved.time);
}
