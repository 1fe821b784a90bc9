#pragma once

#include "show.h"

#include <QList>
#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>

class MediaFiles;

// The disk's answers that the playback check of some cues needs, asked ahead of everything asked in the background.
// A file the disk last called missing or unusable may be in place now: it is asked again, and only its new answer
// will do, however recent the one before. The files of a large show are gathered and looked at a slice a turn of the
// event loop; until that is done no answer counts as in.
class CheckAnswers
{
  public:
    // Needs no answer.
    CheckAnswers() = default;
    CheckAnswers(MediaFiles& files, const QList<Cue>& cues, const QList<MediaAsset>& assets);

    // Every answer is in, or lies in a folder that stalled. Each call looks on from the first file still waiting.
    bool in(MediaFiles& files) const;
    // Its files are gathered and asked: from now on only answers are waited for.
    bool ready() const;
    // Calls `then` in a turn of its own once its files are gathered and asked, unless `context` is gone by then;
    // nothing when they are already.
    void whenReady(QObject* context, std::function<void()> then) const;

  private:
    struct State;
    // Shared by the copies of the waiting press; none when no answer is needed.
    std::shared_ptr<State> m_state;
};
