#include "engine.h"

#include "displaybindings.h"
#include "independentscreens.h"
#include "picture.h"

#include <QImageReader>
#include <QSet>

static const QString kScreenPrefix = QStringLiteral("屏幕 ");

static std::optional<QImage> readImage(const std::optional<QUrl>& url)
{
    if (!url || !url->isLocalFile())
        return std::nullopt;
    QImageReader reader(url->toLocalFile());
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QImage> Engine::defaultPictureImage() const
{
    return readImage(m_show.defaultPicture);
}

void Engine::syncScreens()
{
    const QList<ScreenRole> screens = m_show.screens();
    const QSet<ScreenRole> names(screens.cbegin(), screens.cend());
    bool changed = false;
    for (const ScreenRole& role : m_program.keys()) {
        if (names.contains(role))
            continue;
        m_independent->drop(role);
        endScreenPlayback(role);
        m_displayBindings->drop(role);
        m_program.take(role)->deleteLater();
        if (Picture* preview = m_preview.take(role))
            preview->deleteLater();
        changed = true;
    }
    const std::optional<QImage> image = defaultPictureImage();
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
        changed = true;
    }
    if (changed)
        emit screensChanged();
}

void Engine::applyDefaultPicture()
{
    const std::optional<QImage> image = defaultPictureImage();
    for (Picture* picture : std::as_const(m_program))
        picture->setFallback(image);
}

void Engine::setDefaultPicture(const std::optional<QUrl>& url)
{
    const std::optional<QImage> image = readImage(url);
    if (url && !image) {
        setMessage(QStringLiteral("无法读取默认画面"));
        return;
    }
    Show show = m_show;
    show.defaultPicture = url;
    setShow(std::move(show));
    for (Picture* picture : std::as_const(m_program))
        picture->setFallback(image);
    for (Engine* independent : m_independent->engines())
        for (Picture* picture : std::as_const(independent->m_program))
            picture->setFallback(image);
    setMessage(url ? QStringLiteral("默认画面 · ") + url->fileName() : QStringLiteral("已清除默认画面"));
}

void Engine::addScreen()
{
    QList<ScreenRole> screens = m_show.screens();
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
    QList<ScreenRole> screens = m_show.screens();
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
