#include "engine.h"

#include "delayedtask.h"
#include "filequeue.h"
#include "lightingoutput.h"
#include "mediafile.h"
#include "picture.h"
#include "projectfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

static QString localPath(const QUrl& url)
{
    if (!url.isLocalFile())
        throw ProjectFileError(QStringLiteral("“%1”不是本地文件").arg(url.toDisplayString()));
    return url.toLocalFile();
}

void Engine::saveProject(const QUrl& url)
{
    writeShowFile(m_show, localPath(url), JsonFormat::pretty);
    m_savedShow = m_show;
    setProjectURL(url);
    setHasUnsavedChanges(false);
    m_recoveryTask->cancel();
    // Work on offer lives in a file of its own, so the rolling copy can always go.
    removeRollingCopy();
    setMessage(QStringLiteral("已保存 · ") + url.fileName());
}

void Engine::openProject(const QUrl& url)
{
    const Show opened = readShowFile(localPath(url));
    if (m_hasUnsavedChanges) {
        parkUnsavedWork();
        setCanRecoverProject(true);
    }
    m_recoveryTask->cancel();
    replaceShow(opened);
    setProjectURL(url);
}

void Engine::replaceShow(const Show& show)
{
    stop(true);
    m_lights->resetLights();
    for (Picture* picture : std::as_const(m_preview))
        picture->load(std::nullopt);
    m_loadingProject = true;
    setShow(show);
    syncScreens();
    restoreDisplayBindings();
    applyDefaultPicture();
    m_loadingProject = false;
    m_savedShow = show;
    setHasUnsavedChanges(false);
    m_editHistory.clear();
    m_dragStep = nullptr;
    m_groupStep = nullptr;
    setSelected(m_show.cues.isEmpty() ? std::nullopt : std::optional(m_show.cues.first().id));
    setMessage(QStringLiteral("工程已打开"));
}

void Engine::recoverUnsavedProject()
{
    m_fileQueue->waitForIdle();
    Show recovered;
    try {
        recovered = readShowFile(m_parkedPath);
    } catch (const ProjectFileError& error) {
        setMessage(QStringLiteral("恢复失败 · ") + error.text());
        return;
    }
    replaceShow(recovered);
    setProjectURL(std::nullopt);
    // Taken back: the offered copy becomes the rolling copy, so the work stays on disk until it is rewritten.
    // Should the rename fail, the offered copy stays where it is rather than leave the work in memory only.
    QFile::remove(m_recoveryPath);
    QFile::rename(m_parkedPath, m_recoveryPath);
    setCanRecoverProject(false);
    m_savedShow = Show::makeDefault();
    setHasUnsavedChanges(true);
    setMessage(QStringLiteral("已恢复未保存工程"));
    queueRecovery();
}

void Engine::writeRecovery()
{
    if (!m_tracksProjectEdits || !m_hasUnsavedChanges)
        return;
    m_fileQueue->waitForIdle();
    writeShowFile(m_show, m_recoveryPath, JsonFormat::compact);
}

// Unsaved work about to be replaced goes to the offered copy, where later edits of the next show cannot reach it.
void Engine::parkUnsavedWork()
{
    m_fileQueue->waitForIdle();
    writeShowFile(m_show, m_parkedPath, JsonFormat::compact);
    QFile::remove(m_recoveryPath);
}

// A rolling copy found at start is work lost in a crash: it is put on offer, newer than anything offered before.
void Engine::adoptLeftoverRecovery()
{
    if (QFileInfo::exists(m_recoveryPath)) {
        QFile::remove(m_parkedPath);
        QFile::rename(m_recoveryPath, m_parkedPath);
    }
    setCanRecoverProject(QFileInfo::exists(m_parkedPath));
}

void Engine::queueRecovery()
{
    m_recoveryTask->cancel();
    if (!m_tracksProjectEdits)
        return;
    if (m_hasUnsavedChanges) {
        m_recoveryTask->schedule([engine = QPointer(this)] {
            if (engine)
                engine->writeRecoveryInBackground();
        });
        return;
    }
    removeRollingCopy();
}

// Queued behind any write still in progress, so that the write cannot bring the file back.
void Engine::removeRollingCopy()
{
    m_fileQueue->post([path = m_recoveryPath] {
        QFile::remove(path);
        return std::nullopt;
    });
}

// The show is copied (cheaply: its lists are shared) and encoded and written on the file queue's thread.
void Engine::writeRecoveryInBackground()
{
    if (!m_tracksProjectEdits || !m_hasUnsavedChanges)
        return;
    auto job = [show = m_show, path = m_recoveryPath]() -> std::optional<QString> {
        try {
            writeShowFile(show, path, JsonFormat::compact);
            return std::nullopt;
        } catch (const ProjectFileError& error) {
            return error.text();
        }
    };
    m_fileQueue->post(std::move(job), [engine = QPointer(this)](const std::optional<QString>& error) {
        if (engine && error)
            engine->setMessage(QStringLiteral("自动恢复保存失败 · ") + *error);
    });
}

void Engine::relinkMissingAssets(const QUrl& folder)
{
    const QDir directory(folder.toLocalFile());
    int count = 0;
    auto relink = [&](QUrl& url) {
        if (isReadableFile(url))
            return;
        const QUrl candidate = QUrl::fromLocalFile(directory.filePath(url.fileName()));
        if (candidate == url || !isReadableFile(candidate))
            return;
        url = candidate;
        ++count;
    };
    auto relinkOptional = [&](std::optional<QUrl>& url) {
        if (url)
            relink(*url);
    };
    Show show = m_show;
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
