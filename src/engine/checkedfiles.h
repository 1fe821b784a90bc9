#pragma once

#include "filequestions.h"
#include "show.h"

#include <QHash>
#include <QList>
#include <QUrl>
#include <memory>

// What the playback check of some cues reads: the media files, each once, in the order met (the direct files of a
// cue without timeline, and the file of each timeline event whose track takes its asset), and the assets by id (the
// first asset of an id), each with the place of its file among them.
struct CheckedMedia
{
    struct Asset
    {
        const MediaAsset* asset = nullptr;
        // Its file's index in `files`, once an event whose track takes it was met; -1 before.
        qsizetype file = -1;
    };
    // Kept so that the pointers above stay valid, and to tell whether later lists are these very lists.
    QList<Cue> cues;
    QList<MediaAsset> assets;
    QList<QUrl> files;
    // For each file, whether its cue puts it up as it starts (a direct file, or the file of one of a timeline's first
    // events): only these are looked at to the header before the cue may start; the others need only be readable.
    QList<bool> opensCue;
    struct Place
    {
        qsizetype index = -1;
    };
    QHash<QUrl, Place> fileIndex;
    QHash<QUuid, Asset> byID;
};

// How deep the check asks about the file at `index`: to the header when its cue starts with it, else only whether it
// can be read.
inline FileDepth checkedDepth(const CheckedMedia& media, qsizetype index)
{
    return media.opensCue[index] ? FileDepth::header : FileDepth::readable;
}

// Makes `CheckedMedia` a slice at a time: a large show's files are gathered over turns of the event loop.
class CheckedMediaMaker
{
  public:
    CheckedMediaMaker(const QList<Cue>& cues, const QList<MediaAsset>& assets);
    // Goes on until done, or until `budgetNs` have passed (none: to the end); true when done.
    bool step(qint64 budgetNs = -1);
    // Once done: what was made, kept for later checks of the same lists.
    std::shared_ptr<const CheckedMedia> done();

  private:
    qsizetype addFile(const QUrl& url, bool opensCue);

    std::shared_ptr<CheckedMedia> m_media;
    qsizetype m_asset = 0;
    qsizetype m_cue = 0;
    qsizetype m_event = 0;
    // The time of the first events of the timeline cue being walked.
    double m_firstTime = 0;
};

// The check of a large show reads these once per show version: the same lists as the last calls (shared, not merely
// equal) give what those calls made.
std::shared_ptr<const CheckedMedia> checkedMedia(const QList<Cue>& cues, const QList<MediaAsset>& assets);
// What the last calls made for these very lists, if any.
std::optional<std::shared_ptr<const CheckedMedia>> knownCheckedMedia(const QList<Cue>& cues,
                                                                     const QList<MediaAsset>& assets);

// The media files the playback check reads for these cues, as in `CheckedMedia`.
QList<QUrl> checkedFiles(const QList<Cue>& cues, const QList<MediaAsset>& assets);
