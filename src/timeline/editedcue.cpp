#include "editedcue.h"

#include "clipplacement.h"
#include "engine.h"
#include "operatorlocale.h"
#include "timelinelanes.h"

#include <QLocale>
#include <algorithm>

EditedCue::EditedCue(Engine* engine) : m_engine(engine) {}

std::optional<int> EditedCue::cueIndexIn(const Show& show) const
{
    const std::optional<QUuid> selected = m_engine->selected();
    if (!selected)
        return std::nullopt;
    for (int i = 0; i < show.cues.size(); ++i)
        if (show.cues[i].id == *selected)
            return i;
    return std::nullopt;
}

std::optional<int> EditedCue::cueIndex() const
{
    return cueIndexIn(m_engine->show());
}

QList<TimelineEvent> EditedCue::events() const
{
    const auto index = cueIndex();
    return index ? m_engine->show().cues[*index].timeline.value_or(QList<TimelineEvent>{}) : QList<TimelineEvent>{};
}

QList<MediaAsset> EditedCue::assets() const
{
    return m_engine->show().assets.value_or(QList<MediaAsset>{});
}

ClipPlacement EditedCue::placement(const QList<TimelineEvent>& events, const QList<MediaAsset>& library) const
{
    return ClipPlacement(events, library, m_engine->assetPlaces());
}

QList<TimelineLane> EditedCue::lanesIn(const Show& show) const
{
    if (&show == &m_engine->show())
        return lanes();
    const auto index = cueIndexIn(show);
    return timelineLanes(show, index ? &show.cues[*index] : nullptr);
}

// The lanes depend on the screens and the cue alone. Lists the show still shares with the ones kept compare at
// once, so an unchanged show costs no walk over its events.
const EditedCue::DerivedLanes& EditedCue::derived() const
{
    const Show& show = m_engine->show();
    const std::optional<int> index = cueIndexIn(show);
    if (m_lanes && m_lanes->cueIndex == index && m_lanes->outputScreens == show.outputScreens &&
        m_lanes->cues == show.cues)
        return *m_lanes;
    m_lanes = DerivedLanes{
        index, show.outputScreens, show.cues, timelineLanes(show, index ? &show.cues[*index] : nullptr), {}};
    if (index && show.cues[*index].timeline)
        for (const TimelineEvent& event : *show.cues[*index].timeline) {
            const qint64 layer = event.effectiveLayer();
            m_lanes->events[TimelineLane{event.track, layer, std::nullopt}].append(event);
            if (const std::optional<ScreenRole> screen = event.screen())
                m_lanes->events[TimelineLane{Track::main, layer, screen}].append(event);
        }
    return *m_lanes;
}

QList<TimelineLane> EditedCue::lanes() const
{
    return derived().lanes;
}

QList<TimelineEvent> EditedCue::eventsOn(const TimelineLane& lane) const
{
    const TimelineLane key = lane.screen ? TimelineLane{Track::main, lane.layer, lane.screen}
                                         : TimelineLane{lane.track, lane.layer, std::nullopt};
    return derived().events.value(key);
}

bool EditedCue::isLive() const
{
    const auto index = cueIndex();
    const std::optional<Cue>& current = m_engine->current();
    return index && current && current->id == m_engine->show().cues[*index].id;
}

std::optional<MediaAsset> EditedCue::asset(const TimelineEvent& event) const
{
    return m_engine->asset(event);
}

int EditedCue::eventCount(const TimelineLane& lane) const
{
    const QList<TimelineEvent> all = events();
    return int(std::count_if(all.cbegin(), all.cend(), [&](const TimelineEvent& e) { return lane.matches(e); }));
}

std::optional<double> EditedCue::mediaDuration(const TimelineEvent& event) const
{
    const QList<TimelineEvent> all = events();
    const QList<MediaAsset> library = assets();
    return placement(all, library).mediaDuration(event);
}

bool EditedCue::canPlace(const TimelineEvent& event) const
{
    const QList<TimelineEvent> all = events();
    const QList<MediaAsset> library = assets();
    return placement(all, library).canPlace(event);
}

QList<TimelineEvent> EditedCue::pickerEvents() const
{
    QList<TimelineEvent> sorted = events();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimelineEvent& a, const TimelineEvent& b) { return a.time < b.time; });
    return sorted;
}

QString EditedCue::pickerText(const TimelineEvent& event) const
{
    const QString time = operatorLocale().toString(event.time, 'f', QLocale::FloatingPointShortest);
    const std::optional<ScreenRole> screen = event.screen();
    const QString where = screen ? screen->rawValue : rawValue(event.track);
    const std::optional<MediaAsset> entry = asset(event);
    const QString what = entry ? entry->url.fileName() : rawValue(event.transport);
    return time + QStringLiteral(" 秒 · ") + where + QStringLiteral(" · ") + what;
}
