#include "mediadurationloader.h"

#include "engine.h"
#include "mediaprobe.h"

MediaDurationLoader::MediaDurationLoader(Engine& engine, QObject* parent) : QObject(parent), m_engine(&engine)
{
    connect(&engine, &Engine::showChanged, this, &MediaDurationLoader::restartIfListChanged);
    connect(&m_watcher, &QFutureWatcher<std::optional<double>>::finished, this, &MediaDurationLoader::measured);
    m_key = timedAssetIds();
    m_pass = engine.show().assets.value_or(QList<MediaAsset>{});
    measureNext();
    m_made = true;
}

QList<QUuid> MediaDurationLoader::timedAssetIds() const
{
    QList<QUuid> ids;
    for (const MediaAsset& asset : m_engine->show().assets.value_or(QList<MediaAsset>{}))
        if (asset.kind != AssetKind::image)
            ids.append(asset.id);
    return ids;
}

// Only a change of which video and audio entries exist starts a new pass; the stores of lengths do not.
void MediaDurationLoader::restartIfListChanged()
{
    if (m_engine->lengthMeasured())
        return;
    QList<QUuid> key = timedAssetIds();
    if (key == m_key)
        return;
    m_key = std::move(key);
    if (m_measuring) {
        m_restartPending = true;
        return;
    }
    m_pass = m_engine->show().assets.value_or(QList<MediaAsset>{});
    m_next = 0;
    measureNext();
}

void MediaDurationLoader::measureNext()
{
    while (m_next < m_pass.size()) {
        const MediaAsset& asset = m_pass.at(m_next++);
        if (asset.kind == AssetKind::image || asset.duration)
            continue;
        m_measuring = asset;
        m_watcher.setFuture(mediaDurationAsync(asset.url));
        return;
    }
    // A first pass with nothing to measure ends inside the constructor, before anyone could connect to it: it is
    // told from the event loop instead.
    if (m_made)
        emit passFinished();
    else
        QMetaObject::invokeMethod(this, &MediaDurationLoader::passFinished, Qt::QueuedConnection);
}

void MediaDurationLoader::measured()
{
    const MediaAsset asset = *std::exchange(m_measuring, std::nullopt);
    if (!m_engine)
        return;
    if (m_restartPending) {
        m_restartPending = false;
        m_pass = m_engine->show().assets.value_or(QList<MediaAsset>{});
        m_next = 0;
    } else if (const std::optional<double> seconds = m_watcher.result()) {
        // The engine takes it only while the entry still names that file.
        m_engine->storeMeasuredDuration(asset.id, asset.url, *seconds);
    }
    measureNext();
}
