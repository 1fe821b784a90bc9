#include "engine.h"

#include "awaitedfiles.h"
#include "displaybindings.h"
#include "edithistory.h"
#include "independentscreens.h"
#include "mediafiles.h"
#include "picture.h"
#include "showlimits.h"
#include "stilldecoder.h"
#include "waitingedits.h"

#include <QScopeGuard>
#include <QSet>

static const QString kScreenPrefix = QStringLiteral("屏幕 ");

namespace {

// A default picture as far as it is read: one not at hand is read off the main thread and awaited, and one whose
// file has not answered yet is read when it has.
struct DefaultPicture
{
    std::optional<QImage> image;
    std::optional<QString> decoding;
    bool unanswered = false;
    // Its folder has stopped answering.
    bool stalled = false;
};

DefaultPicture readDefaultPicture(const std::optional<QUrl>& url, MediaFiles& files)
{
    if (!url)
        return {};
    const FileState state = files.state(*url, FileDepth::readable);
    if (state == FileState::waiting)
        return {std::nullopt, std::nullopt, true};
    // What a folder said before it stalled does not tell whether the picture can be read from it now.
    if (state == FileState::stalled)
        return {std::nullopt, std::nullopt, false, true};
    const std::optional<FileAnswer> answer = files.known(*url, FileDepth::readable);
    if (!answer || !answer->readable)
        return {};
    const QString path = url->toLocalFile();
    const std::optional<QImage> image = StillDecoder::shared().image(path);
    if (!image)
        return {std::nullopt, path};
    if (image->isNull())
        return {};
    return {image, std::nullopt};
}

} // namespace

std::optional<QImage> Engine::defaultPictureImage()
{
    const DefaultPicture read = readDefaultPicture(m_show.defaultPicture, *m_mediaFiles);
    // Only the show's own picture is waited for: a wait for the picture of a show replaced since, or of an edit
    // undone, is dropped.
    if (!read.unanswered || m_pictureWaitFor != m_show.defaultPicture) {
        m_pictureWait->cancelAll();
        m_pictureWaitFor.reset();
    }
    if (read.unanswered && !m_pictureWaitFor) {
        m_pictureWaitFor = m_show.defaultPicture;
        m_pictureWait->await({*m_show.defaultPicture}, FileDepth::readable, AwaitedFiles::Freshness::known, [this] {
            m_pictureWaitFor.reset();
            applyDefaultPicture();
        });
    }
    // Read again once its folder answers (see the constructor).
    m_pictureSilentFor = read.stalled ? m_show.defaultPicture : std::nullopt;
    if (read.decoding != m_awaitedDefaultPicture)
        m_awaitedDefaultReachesScreenEngines = false;
    m_awaitedDefaultPicture = read.decoding;
    retellDefaultPictureWait();
    return read.image;
}

std::optional<QString> Engine::defaultPictureWait() const
{
    if (m_pictureSilentFor)
        return QStringLiteral("默认画面“%1”所在的文件夹没有响应，仍在等待").arg(m_pictureSilentFor->fileName());
    if (m_pictureWaitFor || m_awaitedDefaultPicture)
        return QStringLiteral("正在读取默认画面…");
    return std::nullopt;
}

void Engine::retellDefaultPictureWait()
{
    const std::optional<QString> now = defaultPictureWait();
    const std::optional<QString> told = std::exchange(m_pictureWaitTold, now);
    if (!told || now == told)
        return;
    const QString part = QStringLiteral(" · ") + *told;
    if (m_message == *told)
        setMessage(now ? *now : holdingMessage());
    else if (m_message.contains(part))
        setMessage(QString(m_message).replace(part, now ? QStringLiteral(" · ") + *now : QString()));
}

QString Engine::withDefaultPictureWait(const QString& text)
{
    m_pictureWaitTold = defaultPictureWait();
    return m_pictureWaitTold ? text + QStringLiteral(" · ") + *m_pictureWaitTold : text;
}

// A default picture that was decoding reaches the pictures it was meant for, if the show still names it.
void Engine::showDecodedDefaultPicture(const QString& path, const QImage& image)
{
    if (m_awaitedDefaultPicture != path)
        return;
    m_awaitedDefaultPicture.reset();
    // Told once the screens show it.
    const auto told = qScopeGuard([this] { retellDefaultPictureWait(); });
    if (!m_show.defaultPicture || m_show.defaultPicture->toLocalFile() != path)
        return;
    const std::optional<QImage> fallback = image.isNull() ? std::nullopt : std::optional(image);
    for (Picture* picture : std::as_const(m_program))
        picture->setFallback(fallback);
    if (!m_awaitedDefaultReachesScreenEngines)
        return;
    for (Engine* independent : m_independent->engines())
        for (Picture* picture : std::as_const(independent->m_program))
            picture->setFallback(fallback);
}

void Engine::syncScreens()
{
    const QList<ScreenRole> screens = showScreens();
    const QSet<ScreenRole> names(screens.cbegin(), screens.cend());
    // An edit never takes a screen off air while a cue plays: it leaves once nothing plays, as a removal waits.
    const bool playing = m_current || m_projectionMode;
    m_leavingScreens.clear();
    bool changed = false;
    for (const ScreenRole& role : m_program.keys()) {
        if (names.contains(role))
            continue;
        if (playing) {
            m_leavingScreens.append(role);
            continue;
        }
        m_independent->drop(role);
        endScreenPlayback(role);
        m_displayBindings->drop(role);
        m_program.take(role)->deleteLater();
        if (Picture* preview = m_preview.take(role))
            preview->deleteLater();
        changed = true;
    }
    std::sort(m_leavingScreens.begin(), m_leavingScreens.end(),
              [](const ScreenRole& a, const ScreenRole& b) { return a.rawValue < b.rawValue; });
    const std::optional<QImage> image = defaultPictureImage();
    QList<ScreenRole> made;
    for (const ScreenRole& role : screens) {
        if (m_program.contains(role))
            continue;
        if (Picture* stale = m_preview.take(role))
            stale->deleteLater();
        m_preview.insert(role, new Picture(m_services.players, this));
        auto* program = new Picture(m_services.players, this);
        program->setShowsStandby(true);
        program->setBlack(m_videoBlack);
        program->setFallback(image);
        m_program.insert(role, program);
        made.append(role);
    }
    // A screen that comes back, as a side file set again or an undo brings it, goes back on its stored display.
    if (!made.isEmpty() && m_show.displayBindings)
        m_displayBindings->restore(made, *m_show.displayBindings);
    if (changed || !made.isEmpty())
        emit screensChanged();
    // A screen that joins while a cue plays gets what the cue after it opens with there, ready before it starts.
    if (!made.isEmpty() && m_current)
        refreshVideoPreloads();
}

void Engine::letLeavingScreensGo()
{
    if (!m_leavingScreens.isEmpty() && !m_current && !m_projectionMode)
        syncScreens();
}

// The show's screens, then those still on air that left it.
QList<ScreenRole> Engine::screensWithPictures() const
{
    return showScreens() + m_leavingScreens;
}

void Engine::applyDefaultPicture()
{
    const std::optional<QImage> image = defaultPictureImage();
    // The screens keep what they show until the picture is read.
    if (m_awaitedDefaultPicture || m_pictureWait->waiting() || m_pictureSilentFor)
        return;
    for (Picture* picture : std::as_const(m_program))
        picture->setFallback(image);
}

// An edit that waits its turn behind the edits asked before it, and lands on the show it was asked for or nowhere.
// "恢复内置" reads no picture: it is made at once, and an edit asked before it that lands later is made under it;
// only behind a picture still being read, and not undone, does it wait its turn.
void Engine::setDefaultPicture(const std::optional<QUrl>& url)
{
    const QString name = QStringLiteral("默认画面设置");
    if (!url &&
        !m_waitingEdits->waitsInPlaceFor(name, [this](quint64 place) { return m_history->stepInPlace(place); })) {
        Show show = m_show;
        show.defaultPicture = std::nullopt;
        setShow(std::move(show));
        m_awaitedDefaultPicture.reset();
        m_awaitedDefaultReachesScreenEngines = true;
        setMessage(QStringLiteral("已清除默认画面"));
        for (Picture* picture : std::as_const(m_program))
            picture->setFallback(std::nullopt);
        for (Engine* independent : m_independent->engines())
            for (Picture* picture : std::as_const(independent->m_program))
                picture->setFallback(std::nullopt);
        return;
    }
    const QString reading = QStringLiteral("正在读取默认画面…");
    const WaitingEdits::Id edit = m_waitingEdits->ask(name, url ? reading : QString());
    m_waitingEdits->await(edit, {}, FileDepth::readable, AwaitedFiles::Freshness::known,
                          [this, url, edit] { chooseDefaultPicture(url, edit); });
    if (url && m_waitingEdits->waits(edit))
        setMessage(reading);
}

void Engine::chooseDefaultPicture(const std::optional<QUrl>& url, quint64 edit)
{
    const DefaultPicture read = readDefaultPicture(url, *m_mediaFiles);
    if (read.unanswered) {
        m_waitingEdits->await(edit, {*url}, FileDepth::readable, AwaitedFiles::Freshness::known,
                              [this, url, edit] { chooseDefaultPicture(url, edit); });
        return;
    }
    // Whether the picture reads at all is told by the look at its file: it is set, or refused, when that ends.
    if (read.decoding && StillDecoder::shared().isLooking(*read.decoding)) {
        m_lookedDefaultPicture = LookedDefaultPicture{*url, edit};
        m_waitingEdits->hold(edit);
        return;
    }
    if (!m_waitingEdits->lands(edit))
        return;
    const std::optional<QImage>& image = read.image;
    if (url && !image && !read.decoding) {
        setMessage(read.stalled ? QStringLiteral("无法读取默认画面 · “%1”所在的文件夹没有响应").arg(url->fileName())
                                : QStringLiteral("无法读取默认画面"));
        return;
    }
    const bool inShow = landEdit(edit, [&url](const Show& from) {
        Show show = from;
        show.defaultPicture = url;
        return show;
    });
    setMessage(url ? QStringLiteral("默认画面 · ") + url->fileName() : QStringLiteral("已清除默认画面"));
    // Undone before it landed: a redo puts it on the screens.
    if (!inShow)
        return;
    m_awaitedDefaultPicture = read.decoding;
    m_awaitedDefaultReachesScreenEngines = true;
    retellDefaultPictureWait();
    // The screens keep the picture they have until a large one has decoded.
    if (read.decoding)
        return;
    for (Picture* picture : std::as_const(m_program))
        picture->setFallback(image);
    for (Engine* independent : m_independent->engines())
        for (Picture* picture : std::as_const(independent->m_program))
            picture->setFallback(image);
}

void Engine::addScreen()
{
    QList<ScreenRole> screens = showScreens();
    if (screens.size() >= kMostScreens) {
        setMessage(QStringLiteral("最多 %1 个输出屏幕").arg(kMostScreens));
        return;
    }
    int number = 1;
    while (screens.contains(ScreenRole{kScreenPrefix + QString::number(number)}))
        ++number;
    screens.append(ScreenRole{kScreenPrefix + QString::number(number)});
    Show show = m_show;
    show.outputScreens = screens;
    setShow(std::move(show));
    syncScreens();
}

void Engine::removeScreen(const ScreenRole& role)
{
    QList<ScreenRole> screens = showScreens();
    if (screens.size() < 2)
        return;
    const bool used =
        std::any_of(m_show.cues.cbegin(), m_show.cues.cend(), [&](const Cue& cue) { return cueUsesScreen(cue, role); });
    if (used) {
        setMessage(QStringLiteral("请先移除节目中引用此屏幕的素材"));
        return;
    }
    if (m_current || m_projectionMode) {
        setMessage(QStringLiteral("停止播放后可移除屏幕"));
        return;
    }
    screens.removeAll(role);
    Show show = m_show;
    show.outputScreens = screens;
    if (show.displayBindings)
        show.displayBindings->remove(role.rawValue);
    setShow(std::move(show));
    syncScreens();
}

bool Engine::cueUsesScreen(const Cue& cue, const ScreenRole& role) const
{
    if (role == kScreen1 && cue.main)
        return true;
    if (role == kScreen2 && (cue.side || (cue.sideMirrorsMain && cue.main)))
        return true;
    if (!cue.timeline)
        return false;
    return std::any_of(cue.timeline->cbegin(), cue.timeline->cend(),
                       [&](const TimelineEvent& event) { return event.screen() == role; });
}
