#include "engine.h"

#include "checkedfiles.h"
#include "directfile.h"
#include "displaybindings.h"
#include "mediafiles.h"
#include "stalledstarts.h"

#include <QWindow>
#include <cmath>

namespace {

bool usableTime(double time)
{
    return std::isfinite(time) && time >= 0 && time <= 86400;
}

// What the disk has said of each file the check looks at, read once per check without waiting: a large show's
// events share a few hundred files, and a file still on its way or on a share that stopped answering is a finding
// of its own. Files are found by their place among the checked files, so that a URL is not hashed per event.
class ReadableFiles
{
  public:
    struct Known
    {
        FileState state = FileState::waiting;
        // What a folder said before it stalled does not tell whether the file can be played from it now.
        std::optional<FileAnswer> answer;

        bool answered() const { return state == FileState::answered; }
        bool readable() const { return answer && answer->readable; }

        // The finding for a readable file that cannot be shown or played, from a look at its header.
        std::optional<QString> unusable(const QUrl& url) const
        {
            if (!answer || !answer->unusable)
                return std::nullopt;
            return QStringLiteral("素材无法读取 · ") + url.fileName() + QStringLiteral("（") + *answer->unusable +
                   QStringLiteral("）");
        }

        // The finding for a file without answer: its folder stalled, or its answer is still on the way.
        QString unansweredText(const QUrl& url) const
        {
            return (state == FileState::stalled ? QStringLiteral("素材无响应 · ") : QStringLiteral("正在检查素材 · ")) +
                   url.fileName();
        }
    };

    // Each file is looked at when the check first needs it: a check that stops at its first finding looks at the
    // files of the cues before it alone.
    ReadableFiles(MediaFiles& files, const CheckedMedia& media) : m_disk(files), m_media(media)
    {
        m_known.resize(media.files.size());
    }

    const Known& at(qsizetype file) const
    {
        std::optional<Known>& known = m_known[file];
        if (!known) {
            MediaFiles::Look look = m_disk.look(m_media.files[file], checkedDepth(m_media, file));
            known = Known{look.state, std::move(look.answer)};
        }
        return *known;
    }
    const Known& of(const QUrl& url) const
    {
        static const Known unknown;
        const qsizetype file = m_media.fileIndex.value(url).index;
        return file < 0 ? unknown : at(file);
    }
    bool operator()(const QUrl& url) const { return of(url).readable(); }

  private:
    MediaFiles& m_disk;
    const CheckedMedia& m_media;
    mutable QList<std::optional<Known>> m_known;
};

// The finding's text for an event's media, or nothing when the media is in order. The text of an asset missing
// or of the wrong kind is made once, however many events use it.
class MediaProblems
{
  public:
    MediaProblems(const CheckedMedia& media, const ReadableFiles& files) : m_media(media), m_files(files) {}

    std::optional<QString> operator()(const TimelineEvent& event)
    {
        const auto entry = event.assetID ? m_media.byID.constFind(*event.assetID) : m_media.byID.cend();
        if (entry == m_media.byID.cend())
            return QStringLiteral("素材缺失或类型不匹配 · ") + rawValue(event.track);
        const QUrl& url = entry->asset->url;
        if (accepts(event.track, *entry->asset)) {
            const ReadableFiles::Known& known = m_files.at(entry->file);
            if (!known.answered())
                return known.unansweredText(url);
            if (known.readable())
                return known.unusable(url);
        }
        QString& text = m_missingTexts[entry->asset];
        if (text.isEmpty())
            text = QStringLiteral("素材缺失或类型不匹配 · ") + url.fileName();
        return text;
    }

  private:
    const CheckedMedia& m_media;
    const ReadableFiles& m_files;
    QHash<const MediaAsset*, QString> m_missingTexts;
};

// What the check needs of an output screen; the same for every cue.
struct OutputScreen
{
    ScreenRole role;
    // The screen whose picture it shows: its mapping's source, else itself.
    ScreenRole shown;
    bool bound;
    bool hasWindow;
};

} // namespace

QList<Engine::PlaybackIssue> Engine::playbackIssues(const QList<Cue>& cues, const QList<MediaAsset>& assets,
                                                    bool includeWarnings, bool firstCueOnly) const
{
    QList<PlaybackIssue> issues;
    const std::shared_ptr<const CheckedMedia> media = checkedMedia(cues, assets);
    const ReadableFiles files(*m_mediaFiles, *media);
    MediaProblems mediaProblem(*media, files);
    QList<OutputScreen> outputs;
    for (const ScreenRole& role : showScreens()) {
        const ProjectorMapping screenMapping = mapping(role);
        const ScreenRole shown = screenMapping.enabled && screenMapping.source ? *screenMapping.source : role;
        outputs.append({role, shown, screenHasBinding(role), m_displayBindings->hasWindow(role)});
    }
    // Findings are many in a large show with missing media; their ids come from the cheap generator.
    const auto add = [&](const Cue& cue, std::optional<QUuid> eventID, std::optional<ScreenRole> screen, QString text,
                         bool warning) {
        issues.append({newUuid(), cue, eventID, std::move(screen), std::move(text), warning});
    };
    QList<ScreenRole> eventScreens;
    for (const Cue& cue : cues) {
        if (firstCueOnly && !issues.isEmpty())
            break;
        const QList<TimelineEvent> events = cue.timeline.value_or(QList<TimelineEvent>{});
        eventScreens.clear();
        for (const TimelineEvent& event : events) {
            const std::optional<ScreenRole> screen = event.screen();
            if (!usableTime(event.time))
                add(cue, event.id, screen, QStringLiteral("事件时间无效"), false);
            if (screen) {
                if (!eventScreens.contains(*screen))
                    eventScreens.append(*screen);
                // A screen still on air after it left the show goes as soon as nothing plays.
                if (!m_program.contains(*screen) || m_leavingScreens.contains(*screen))
                    add(cue, event.id, screen, QStringLiteral("缺少") + screen->rawValue, false);
            }
            if (event.track == Track::message) {
                if (!event.validMessage())
                    add(cue, event.id, screen, QStringLiteral("通讯事件配置无效"), false);
                continue;
            }
            if (std::optional<QString> problem = mediaProblem(event))
                add(cue, event.id, screen, std::move(*problem), false);
        }
        if (events.isEmpty()) {
            const QList<QUrl> missing = cue.missingFiles(std::cref(files));
            for (const QUrl& url : missing)
                add(cue, std::nullopt, std::nullopt,
                    files.of(url).answered() ? QStringLiteral("素材缺失 · ") + url.fileName()
                                             : files.of(url).unansweredText(url),
                    false);
            for (const std::optional<QUrl>& file : {cue.main, cue.sideMirrorsMain ? std::nullopt : cue.side, cue.audio})
                if (file && !missing.contains(*file))
                    if (std::optional<QString> unusable = files.of(*file).unusable(*file))
                        add(cue, std::nullopt, std::nullopt, std::move(*unusable), false);
        }
        for (const OutputScreen& output : std::as_const(outputs)) {
            const bool used =
                events.isEmpty() ? directFile(cue, output.shown).has_value() : eventScreens.contains(output.shown);
            if (!used)
                continue;
            if (!output.bound) {
                if (includeWarnings)
                    add(cue, std::nullopt, output.role, output.role.rawValue + QStringLiteral("仅监看"), true);
                continue;
            }
            if (!output.hasWindow)
                add(cue, std::nullopt, output.role, output.role.rawValue + QStringLiteral("输出不可用"), false);
        }
    }
    return issues;
}

bool Engine::canPlay(const Cue& cue, const QList<MediaAsset>& assets)
{
    const QList<PlaybackIssue> issues = playbackIssues({cue}, assets, false);
    if (issues.isEmpty())
        return true;
    setMessage(issues.first().text);
    if (issues.first().text.startsWith(StalledStarts::text({})))
        m_silentRefusal = SilentRefusal{issues.first().text, cue, assets};
    return false;
}

QList<QUrl> Engine::showMediaFiles() const
{
    QList<QUrl> files = checkedFiles(m_show.cues, {});
    for (const MediaAsset& asset : m_show.assets.value_or(QList<MediaAsset>{}))
        files.append(asset.url);
    if (m_show.defaultPicture)
        files.append(*m_show.defaultPicture);
    return files;
}
