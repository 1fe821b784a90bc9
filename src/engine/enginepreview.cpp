#include "engine.h"

#include "cuepreview.h"

void Engine::previewCue(const Cue& cue)
{
    m_cuePreview->previewCue(cue);
}

void Engine::previewTimeline(const Cue& cue, double time)
{
    m_cuePreview->previewTimeline(cue, time);
}

void Engine::cancelTimelinePreview()
{
    m_cuePreview->cancelTimelinePreview();
}

void Engine::previewFrame(const ScreenRole& role, const std::optional<QUrl>& url, double offset)
{
    m_cuePreview->previewFrame(role, url, offset);
}

void Engine::previewEvent(const TimelineEvent& event)
{
    m_cuePreview->previewEvent(event);
}

std::optional<MediaAsset> Engine::asset(const TimelineEvent& event) const
{
    if (!event.assetID || !m_show.assets)
        return std::nullopt;
    for (const MediaAsset& asset : *m_show.assets)
        if (asset.id == *event.assetID)
            return asset;
    return std::nullopt;
}
