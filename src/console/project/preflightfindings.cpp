#include "preflightfindings.h"

#include <QMultiHash>
#include <algorithm>
#include <utility>

// The findings of one check can be told apart by cue only where no two neighbouring cues share an id.
static bool neighboursDiffer(const QList<Cue>& cues)
{
    for (qsizetype i = 1; i < cues.size(); ++i)
        if (cues[i].id == cues[i - 1].id)
            return false;
    return true;
}

QList<QUrl> PreflightFindings::filesOf(const Cue& cue) const
{
    QList<QUrl> files;
    for (const std::optional<QUrl>& file : {cue.main, cue.side, cue.audio})
        if (file && !files.contains(*file))
            files.append(*file);
    if (cue.timeline) {
        QSet<QUuid> seen;
        for (const TimelineEvent& event : *cue.timeline)
            if (event.assetID && !seen.contains(*event.assetID)) {
                seen.insert(*event.assetID);
                const auto file = m_assetFiles.constFind(*event.assetID);
                if (file != m_assetFiles.cend() && !files.contains(*file))
                    files.append(*file);
            }
    }
    return files;
}

// Two shows without their cues that differ in the lengths of library entries alone: the same entries naming the
// same files as the same kinds, in the same order. No finding hangs on a length.
static bool differInLengthsAlone(const Show& a, const Show& b)
{
    if (a.assets.has_value() != b.assets.has_value() || !a.assets || a.assets->size() != b.assets->size() ||
        a.assets->isSharedWith(*b.assets))
        return false;
    for (qsizetype i = 0; i < a.assets->size(); ++i) {
        const MediaAsset& x = a.assets->at(i);
        const MediaAsset& y = b.assets->at(i);
        if (x.id != y.id || x.kind != y.kind || x.url != y.url)
            return false;
    }
    Show left = a;
    Show right = b;
    left.assets.reset();
    right.assets.reset();
    return left == right;
}

QList<PreflightFindings::Findings> PreflightFindings::update(const QList<Cue>& cues)
{
    Show context = m_engine.show();
    context.cues.clear();
    if (context != m_context && !differInLengthsAlone(context, m_context)) {
        m_checked.clear();
        m_assetFiles.clear();
        for (const MediaAsset& asset : context.assets.value_or(QList<MediaAsset>{}))
            if (!m_assetFiles.contains(asset.id))
                m_assetFiles.insert(asset.id, asset.url);
    }
    m_context = std::move(context);
    const QList<MediaAsset> assets = m_context.assets.value_or(QList<MediaAsset>{});
    const QSet<QUrl> touched = std::exchange(m_answeredSince, {});
    const auto unchangedOnDisk = [&](const CheckedCue& checked) {
        if (checked.waitsForAnswer)
            return false;
        if (touched.isEmpty())
            return true;
        for (const QUrl& file : checked.files)
            if (touched.contains(file))
                return false;
        return true;
    };

    // Each cue is matched to its earlier check at the same place, else by id.
    QMultiHash<QUuid, qsizetype> earlier;
    const auto keptAt = [&](qsizetype j) -> qsizetype {
        if (j < m_checked.size() && m_checked[j].cue == cues[j])
            return unchangedOnDisk(m_checked[j]) ? j : -1;
        if (earlier.isEmpty())
            for (qsizetype i = 0; i < m_checked.size(); ++i)
                earlier.insert(m_checked[i].cue.id, i);
        for (auto i = earlier.constFind(cues[j].id); i != earlier.cend() && i.key() == cues[j].id; ++i)
            if (m_checked[*i].cue == cues[j] && unchangedOnDisk(m_checked[*i]))
                return *i;
        return -1;
    };
    QList<qsizetype> kept(cues.size());
    QList<Cue> changed;
    bool inPlace = cues.size() == m_checked.size() && cues.size() == m_groups.size();
    for (qsizetype j = 0; j < cues.size(); ++j) {
        kept[j] = keptAt(j);
        inPlace = inPlace && (kept[j] == j || kept[j] < 0);
        if (kept[j] < 0)
            changed.append(cues[j]);
    }
    if (!neighboursDiffer(changed)) {
        m_checked.clear();
        m_groups = {m_engine.playbackIssues(cues, assets, true)};
        return m_groups;
    }
    QList<QList<QUrl>> changedFiles;
    changedFiles.reserve(changed.size());
    for (const Cue& cue : std::as_const(changed))
        changedFiles.append(filesOf(cue));
    // One check of all the changed cues asks the disk once per file; its findings come cue by cue, in order.
    const Findings fresh = changed.isEmpty() ? Findings{} : m_engine.playbackIssues(changed, assets, true);
    QList<CheckedCue> checked;
    if (!inPlace) {
        checked.reserve(cues.size());
        m_groups.clear();
        m_groups.reserve(cues.size());
    }
    qsizetype next = 0;
    qsizetype nextFiles = 0;
    for (qsizetype j = 0; j < cues.size(); ++j) {
        // A kept cue takes the show's copy, so that the next comparison finds the data shared and stops early.
        if (inPlace && kept[j] == j) {
            m_checked[j].cue = cues[j];
            continue;
        }
        CheckedCue entry = kept[j] >= 0 ? m_checked[kept[j]] : CheckedCue{cues[j], {}, changedFiles[nextFiles++]};
        entry.cue = cues[j];
        if (kept[j] < 0) {
            while (next < fresh.size() && fresh[next].cue.id == cues[j].id)
                entry.findings.append(fresh[next++]);
            entry.waitsForAnswer = std::any_of(entry.files.cbegin(), entry.files.cend(), [&](const QUrl& file) {
                return m_engine.mediaFiles().state(file, FileDepth::header) != FileState::answered;
            });
        }
        if (inPlace) {
            m_groups[j] = entry.findings;
            m_checked[j] = std::move(entry);
        } else {
            m_groups.append(entry.findings);
            checked.append(std::move(entry));
        }
    }
    if (!inPlace)
        m_checked = std::move(checked);
    return m_groups;
}
