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

void PreflightFindings::fileAnswered(const QUrl& file)
{
    // The answers to a large show's files come by the thousand between updates: room for all of them is made at
    // once, so that the set is not hashed again each time it grows.
    if (m_answeredSince.isEmpty())
        m_answeredSince.reserve(m_assetFiles.size() + m_checked.size());
    m_answeredSince.insert(file);
}

// Whether the findings made over `before` still hold over `now` (both shows without their cues) for these cues: the
// rest of the show is the same, and the library holds the same entries naming the same files as the same kinds in
// the same order, their lengths aside, with at most entries added after them that no event of the cues names. No
// finding hangs on a length, and an event finds the first entry with its id.
static bool findingsHold(const Show& now, const Show& before, const QList<Cue>& cues)
{
    if (now.assets.has_value() != before.assets.has_value() || !now.assets ||
        now.assets->size() < before.assets->size())
        return false;
    const QList<MediaAsset>& was = *before.assets;
    const QList<MediaAsset>& is = *now.assets;
    for (qsizetype i = 0; i < was.size(); ++i)
        if (is[i].id != was[i].id || is[i].kind != was[i].kind || !sameUrl(is[i].url, was[i].url))
            return false;
    if (is.size() > was.size()) {
        QSet<QUuid> added;
        for (qsizetype i = was.size(); i < is.size(); ++i)
            added.insert(is[i].id);
        for (const Cue& cue : cues)
            for (const TimelineEvent& event : cue.timeline.value_or(QList<TimelineEvent>{}))
                if (event.assetID && added.contains(*event.assetID))
                    return false;
    }
    Show left = now;
    Show right = before;
    left.assets.reset();
    right.assets.reset();
    return left == right;
}

QList<PreflightFindings::Findings> PreflightFindings::update(const QList<Cue>& cues)
{
    Show context = m_engine.show();
    context.cues.clear();
    if (context != m_context) {
        // Entries added to the library (an import) or lengths measured leave the findings as they were.
        const bool hold = findingsHold(context, m_context, cues);
        if (!hold) {
            m_checked.clear();
            m_assetFiles.clear();
        }
        const QList<MediaAsset> library = context.assets.value_or(QList<MediaAsset>{});
        for (qsizetype i = hold ? m_context.assets.value_or(QList<MediaAsset>{}).size() : 0; i < library.size(); ++i)
            if (!m_assetFiles.contains(library[i].id))
                m_assetFiles.insert(library[i].id, library[i].url);
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
