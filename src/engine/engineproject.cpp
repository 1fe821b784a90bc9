#include "engine.h"

#include "checkedfiles.h"

#include "awaitedfiles.h"
#include "cuepreview.h"
#include "edithistory.h"
#include "lightingoutput.h"
#include "measureddurations.h"
#include "mediafiles.h"
#include "picture.h"
#include "projectfile.h"
#include "projectfilework.h"
#include "turnslices.h"
#include "waitingedits.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <memory>

// A save pressed while edits wait for the disk takes its turn behind them and writes the show as it was at its
// press with those edits made, as it would had their answers been in then.
void Engine::saveProject(const QUrl& url)
{
    if (!m_waitingEdits->waiting()) {
        m_projectFiles->save(url);
        return;
    }
    const WaitingEdits::Id turn = m_waitingEdits->askInTurn(QStringLiteral("保存"));
    m_waitingEdits->await(turn, {}, FileDepth::readable, AwaitedFiles::Freshness::known,
                          [this, turn, url, pressed = m_history->lastStep(), atPress = m_show,
                           lineAtPress = m_message] { saveInTurn(turn, url, pressed, atPress, lineAtPress); });
}

// One file's work at a time: behind a save still writing, it goes on once that has ended, still first in line. The
// show written is the show as at the press with the edits before it made; where its step was dropped since, the show
// as it stood at the press.
void Engine::saveInTurn(quint64 turn, const QUrl& url, quint64 pressed, const Show& atPress, const QString& lineAtPress)
{
    if (!m_waitingEdits->lands(turn))
        return;
    if (m_projectFiles->busy()) {
        m_waitingEdits->hold(turn);
        auto ended = std::make_shared<QMetaObject::Connection>();
        *ended = connect(m_projectFiles, &ProjectFileWork::changed, this,
                         [this, ended, turn, url, pressed, atPress, lineAtPress] {
                             if (m_projectFiles->busy())
                                 return;
                             disconnect(*ended);
                             m_waitingEdits->resume(turn, [this, turn, url, pressed, atPress, lineAtPress] {
                                 saveInTurn(turn, url, pressed, atPress, lineAtPress);
                             });
                         });
        return;
    }
    m_projectFiles->save(url, m_history->showAfter(pressed).value_or(atPress), outcomeLanded(lineAtPress));
}

// What an edit pressed before this press and landing only now put on the line: with the answers in at once it would
// have stood there before this press, so this press's words keep it beside them.
QString Engine::outcomeLanded(const QString& lineAtPress) const
{
    const bool landedLate = m_actingPress && m_lineSaidBy < *m_actingPress && m_message != lineAtPress;
    return landedLate && !m_message.startsWith(QStringLiteral("正在")) ? m_message : QString();
}

void Engine::openProject(const QUrl& url)
{
    m_projectFiles->open(url);
}

// A length measured while the file was written is no edit: the saved show takes it too.
void Engine::takeSavedShow(const Show& written, const QUrl& url, const QString& alsoSaid)
{
    Show saved = written;
    m_measuredDurations->fillIn(saved);
    m_history->saved(saved);
    setProjectURL(url);
    QString said = QStringLiteral("已保存 · ") + url.fileName();
    if (!alsoSaid.isEmpty())
        said += QStringLiteral(" · ") + alsoSaid;
    setMessage(said);
}

// Edits waiting for the disk were asked for the show replaced: they go nowhere, and the status line says so.
QString Engine::replaceShow(const Show& show)
{
    stop(true);
    m_lights->resetLights();
    m_cuePreview->showReplaced();
    for (Picture* picture : std::as_const(m_preview))
        picture->load(std::nullopt);
    m_history->beginLoading();
    ++m_showNumber;
    const QString dropped = m_waitingEdits->dropAll();
    m_lookedDefaultPicture.reset();
    // No screen shows the picture of the show before while the opened show's own is read.
    for (Picture* picture : std::as_const(m_program))
        picture->setFallback(std::nullopt);
    // An open always replaces the show: comparing a large show with an equal one on disk would take as long as freeing
    // it.
    placeShow(show);
    syncScreens();
    restoreDisplayBindings();
    applyDefaultPicture();
    m_history->finishLoading();
    // The opened show is shown afresh, even where its first cue was selected before: what views opened on the show
    // before goes.
    const std::optional<QUuid> first = m_show.cues.isEmpty() ? std::nullopt : std::optional(m_show.cues.first().id);
    if (m_selected == first) {
        m_selectedBy = m_presses;
        emit selectedChanged();
    } else {
        setSelected(first);
    }
    setMessage(withDefaultPictureWait(QStringLiteral("工程已打开") + dropped));
    return dropped;
}

void Engine::recoverUnsavedProject()
{
    m_projectFiles->recover();
}

void Engine::cancelProjectFileWork()
{
    m_projectFiles->giveUp();
}

void Engine::takeBackOffered(const Show& recovered, bool unsavedWorkParked)
{
    const QString dropped = replaceShow(recovered);
    setProjectURL(std::nullopt);
    m_history->tookBackOffered(unsavedWorkParked);
    setMessage(withDefaultPictureWait((unsavedWorkParked
                                           ? QStringLiteral("已恢复未保存工程 · 原先未保存的修改已另存，可再次恢复")
                                           : QStringLiteral("已恢复未保存工程")) +
                                      dropped));
}

void Engine::writeRecovery()
{
    m_history->writeRecovery(kRecoveryWriteWait);
}

namespace {

// The places of a show that hold media references, in the order the relink takes them: each library entry, each
// cue, then the show's default picture.
qsizetype referencePlaces(const Show& show)
{
    return (show.assets ? show.assets->size() : 0) + show.cues.size() + 1;
}

// The media references at one place, each through the one rule. A show read through const is read in place: only a
// show that is changed copies its lists.
template <typename AnyShow, typename Visit> void forReferencesAt(AnyShow& show, qsizetype place, Visit visit)
{
    const auto optional = [&](auto& url) {
        if (url)
            visit(*url);
    };
    const qsizetype entries = show.assets ? show.assets->size() : 0;
    if (place < entries) {
        visit((*show.assets)[place].url);
        return;
    }
    if (place - entries < show.cues.size()) {
        auto& cue = show.cues[place - entries];
        optional(cue.main);
        optional(cue.side);
        optional(cue.audio);
        return;
    }
    optional(show.defaultPicture);
}

template <typename AnyShow, typename Visit> void forEachReference(AnyShow& show, Visit visit)
{
    for (qsizetype place = 0, places = referencePlaces(show); place < places; ++place)
        forReferencesAt(show, place, visit);
}

// A file's place in a list of files, none before it is placed.
struct FilePlace
{
    qsizetype index = -1;
};

} // namespace

// The show's references as the relink was asked, and the file found for each.
struct Engine::Relinked
{
    // Held to tell whether the show still holds these very lists when the relink lands.
    Show asked;
    // The files referred to, each once, and for each reference in order its file's place among them.
    QList<QUrl> linked;
    QList<qsizetype> references;
    // For each file, the file found in its place; empty where none was.
    QList<QUrl> found;
};

// The disk is asked afresh on the file questions' threads, the linked files first and then the candidates beside
// them; the main thread goes on meanwhile, and a folder that answers, however slowly, is waited for. Files whose
// folder stalled stay as they are, and the status line counts them. The relink is an edit that waits its turn: it
// lands on the show it was asked for, or nowhere.
void Engine::relinkMissingAssets(const QUrl& folder)
{
    auto relinked = std::make_shared<Relinked>();
    relinked->asked = m_show;
    const WaitingEdits::Id edit =
        m_waitingEdits->ask(QStringLiteral("重新定位缺失素材"), QStringLiteral("正在重新定位缺失素材…"));
    setMessage(QStringLiteral("正在重新定位缺失素材…"));
    // The show's files are gathered a slice a turn while the edit holds its place in line: thousands of references
    // never hold the show's thread.
    m_waitingEdits->hold(edit);
    auto met = std::make_shared<QHash<QUrl, FilePlace>>();
    met->reserve(m_show.assets ? m_show.assets->size() : 0);
    const auto meet = [relinked, met](qsizetype place) {
        forReferencesAt(std::as_const(relinked->asked), place, [&](const QUrl& url) {
            // One look-up each: a file met for the first time is placed at the end.
            FilePlace& file = (*met)[url];
            if (file.index < 0) {
                file.index = relinked->linked.size();
                relinked->linked.append(url);
            }
            relinked->references.append(file.index);
        });
    };
    runInSlices(this, referencePlaces(relinked->asked), meet, [this, edit, folder, relinked] {
        if (m_waitingEdits->waits(edit))
            awaitRelink(edit, folder, relinked);
    });
}

void Engine::awaitRelink(quint64 edit, const QUrl& folder, const std::shared_ptr<Relinked>& relinked)
{
    const QDir directory(folder.toLocalFile());
    relinked->found.resize(relinked->linked.size());
    const QList<QUrl> linked = relinked->linked;
    // Each answer is read in its turn, a slice of them a turn: thousands of references never hold the show's thread.
    // Files are named by their place, so that no URL is hashed again.
    auto from = std::make_shared<QList<qsizetype>>();
    auto candidates = std::make_shared<QList<QUrl>>();
    auto unanswered = std::make_shared<int>(0);
    const auto readCandidate = [this, directory, linked, from, candidates, unanswered](qsizetype i) {
        const QUrl& url = linked[i];
        const std::optional<FileAnswer> answer = m_mediaFiles->known(url, FileDepth::readable);
        if (!answer) {
            ++*unanswered;
        } else if (!answer->readable) {
            from->append(i);
            candidates->append(QUrl::fromLocalFile(directory.filePath(url.fileName())));
        }
    };
    m_waitingEdits->await(edit, linked, FileDepth::readable, AwaitedFiles::Freshness::fresh, readCandidate,
                          [this, edit, relinked, from, candidates, unanswered] {
                              const QList<QUrl> asked = *candidates;
                              auto silent = std::make_shared<int>(*unanswered);
                              const auto readFound = [this, relinked, from, asked, silent](qsizetype i) {
                                  const std::optional<FileAnswer> answer =
                                      m_mediaFiles->known(asked[i], FileDepth::readable);
                                  const qsizetype file = (*from)[i];
                                  if (!answer)
                                      ++*silent;
                                  else if (answer->readable && asked[i] != relinked->linked[file])
                                      relinked->found[file] = asked[i];
                              };
                              m_waitingEdits->await(edit, asked, FileDepth::readable, AwaitedFiles::Freshness::fresh,
                                                    readFound, [this, edit, relinked, silent] {
                                                        if (m_waitingEdits->lands(edit))
                                                            landRelink(edit, *relinked, *silent);
                                                    });
                          });
}

// On the show before its place among the steps and on each step after it: edits made while the disk answered stay.
// While a show still holds the lists the relink was asked on, its references are those met then, in the same order,
// and need no look-up. References added meanwhile to a file it found are repointed too.
void Engine::landRelink(quint64 edit, const Relinked& relinked, int silent)
{
    const auto same = [](const auto& a, const auto& b) {
        return a.constData() == b.constData() && a.size() == b.size();
    };
    const Show& asked = relinked.asked;
    std::optional<QHash<QUrl, QUrl>> found;
    std::optional<int> counted;
    const auto made = [&](const Show& from) {
        const bool unchanged = same(from.cues, asked.cues) && from.defaultPicture == asked.defaultPicture &&
                               from.assets.has_value() == asked.assets.has_value() &&
                               (!from.assets || same(*from.assets, *asked.assets));
        Show show = from;
        int count = 0;
        if (unchanged) {
            qsizetype reference = 0;
            forEachReference(show, [&](QUrl& url) {
                if (const QUrl& to = relinked.found[relinked.references[reference++]]; !to.isEmpty()) {
                    url = to;
                    ++count;
                }
            });
        } else {
            if (!found) {
                found.emplace();
                for (qsizetype file = 0; file < relinked.linked.size(); ++file)
                    if (!relinked.found[file].isEmpty())
                        found->insert(relinked.linked[file], relinked.found[file]);
            }
            forEachReference(show, [&](QUrl& url) {
                if (const auto to = found->constFind(url); to != found->cend()) {
                    url = *to;
                    ++count;
                }
            });
        }
        // The last made is the show in place, when the relink's place is in it.
        counted = count;
        return show;
    };
    const bool inShow = landEdit(edit, made);
    const int count = counted.value_or(0);
    if (inShow)
        applyDefaultPicture();
    QString text =
        count > 0 ? QStringLiteral("已重新定位 %1 项素材引用").arg(count) : QStringLiteral("未找到同名的缺失素材");
    if (silent > 0)
        text += QStringLiteral(" · %1 项素材无响应").arg(silent);
    setMessage(text);
}
