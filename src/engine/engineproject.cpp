#include "engine.h"

#include "edithistory.h"
#include "lightingoutput.h"
#include "measureddurations.h"
#include "mediafiles.h"
#include "picture.h"
#include "projectfile.h"
#include "projectfilework.h"

#include <QDir>

void Engine::saveProject(const QUrl& url)
{
    m_projectFiles->save(url);
}

void Engine::openProject(const QUrl& url)
{
    m_projectFiles->open(url);
}

// A length measured while the file was written is no edit: the saved show takes it too.
void Engine::takeSavedShow(const Show& written, const QUrl& url)
{
    Show saved = written;
    m_measuredDurations->fillIn(saved);
    m_history->saved(saved);
    setProjectURL(url);
    setMessage(QStringLiteral("已保存 · ") + url.fileName());
}

void Engine::replaceShow(const Show& show)
{
    stop(true);
    m_lights->resetLights();
    for (Picture* picture : std::as_const(m_preview))
        picture->load(std::nullopt);
    m_history->beginLoading();
    setShow(show);
    syncScreens();
    restoreDisplayBindings();
    applyDefaultPicture();
    m_history->finishLoading();
    setSelected(m_show.cues.isEmpty() ? std::nullopt : std::optional(m_show.cues.first().id));
    setMessage(QStringLiteral("工程已打开"));
}

void Engine::recoverUnsavedProject()
{
    m_projectFiles->recover();
}

void Engine::takeBackOffered(const Show& recovered)
{
    replaceShow(recovered);
    setProjectURL(std::nullopt);
    m_history->tookBackOffered();
    setMessage(QStringLiteral("已恢复未保存工程"));
}

void Engine::writeRecovery()
{
    m_history->writeRecovery(kRecoveryWriteWait);
}

// The disk is asked on the file questions' threads, all files at once: a file that does not answer in time stays
// as it is, and a candidate that does not answer is not taken.
void Engine::relinkMissingAssets(const QUrl& folder)
{
    const QDir directory(folder.toLocalFile());
    Show show = m_show;
    QList<QUrl> linked;
    for (const MediaAsset& asset : show.assets.value_or(QList<MediaAsset>{}))
        linked.append(asset.url);
    for (const Cue& cue : std::as_const(show.cues))
        for (const std::optional<QUrl>& url : {cue.main, cue.side, cue.audio})
            if (url)
                linked.append(*url);
    if (show.defaultPicture)
        linked.append(*show.defaultPicture);
    const auto candidateFor = [&](const QUrl& url) { return QUrl::fromLocalFile(directory.filePath(url.fileName())); };
    const MediaFiles::Answers now = m_mediaFiles->ask(linked, FileDepth::readable);
    QList<QUrl> candidates;
    for (auto answer = now.cbegin(); answer != now.cend(); ++answer)
        if (*answer && !(*answer)->readable)
            candidates.append(candidateFor(answer.key()));
    const MediaFiles::Answers found = m_mediaFiles->ask(candidates, FileDepth::readable);
    const auto readable = [](const MediaFiles::Answers& answers, const QUrl& url) {
        const std::optional<FileAnswer> answer = answers.value(url);
        return answer && answer->readable;
    };
    int count = 0;
    auto relink = [&](QUrl& url) {
        if (!now.value(url) || readable(now, url))
            return;
        const QUrl candidate = candidateFor(url);
        if (candidate == url || !readable(found, candidate))
            return;
        url = candidate;
        ++count;
    };
    auto relinkOptional = [&](std::optional<QUrl>& url) {
        if (url)
            relink(*url);
    };
    if (show.assets)
        for (MediaAsset& asset : *show.assets)
            relink(asset.url);
    for (Cue& cue : show.cues) {
        relinkOptional(cue.main);
        relinkOptional(cue.side);
        relinkOptional(cue.audio);
    }
    relinkOptional(show.defaultPicture);
    setShow(std::move(show));
    applyDefaultPicture();
    setMessage(count > 0 ? QStringLiteral("已重新定位 %1 项素材引用").arg(count)
                         : QStringLiteral("未找到同名的缺失素材"));
}
