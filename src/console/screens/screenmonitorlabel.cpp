#include "screenmonitorlabel.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "picture.h"

ScreenMonitorLabel::ScreenMonitorLabel(Picture* screenPicture, QWidget* parent) : ElidedLabel(parent)
{
    setFont(ConsoleText::caption(font()));
    setColor(ConsoleColors::secondaryText());
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setPicture(screenPicture);
}

void ScreenMonitorLabel::setPicture(Picture* screenPicture)
{
    if (screenPicture == m_screenPicture && screenPicture)
        return;
    m_screenPicture = screenPicture;
    rewatch();
}

QString ScreenMonitorLabel::captionFor(const Picture* picture, bool black)
{
    if (black)
        return QStringLiteral("黑场");
    if (!picture)
        return QStringLiteral("无画面");
    const Picture* named = picture->foreground() ? picture->foreground() : picture;
    if (const std::optional<QUrl> url = named->url())
        return url->fileName();
    // A still of a video (a scrubbed timeline's frame) names the video it was taken from.
    if (const std::optional<QUrl> source = named->stillSource())
        return source->fileName();
    if (picture->fallback() || picture->showsStandby())
        return QStringLiteral("默认画面");
    return QStringLiteral("无画面");
}

// The caption depends on the screen's picture, the picture it shows (its independent output) and that one's
// foreground; any of them may be swapped, so the watches follow.
void ScreenMonitorLabel::rewatch()
{
    for (const QMetaObject::Connection& watch : std::as_const(m_watches))
        disconnect(watch);
    m_watches.clear();
    QList<Picture*> watched;
    if (Picture* own = m_screenPicture.data()) {
        watched << own;
        Picture* shown = own->independentOutput() ? own->independentOutput() : own;
        if (shown != own)
            watched << shown;
        if (shown->foreground())
            watched << shown->foreground();
    }
    for (Picture* picture : watched) {
        for (auto changed : {&Picture::foregroundChanged, &Picture::independentOutputChanged})
            m_watches << connect(picture, changed, this, &ScreenMonitorLabel::rewatch);
        for (auto changed :
             {&Picture::urlChanged, &Picture::stillSourceChanged, &Picture::fallbackChanged, &Picture::blackChanged})
            m_watches << connect(picture, changed, this, &ScreenMonitorLabel::refresh);
        m_watches << connect(picture, &QObject::destroyed, this, &ScreenMonitorLabel::rewatch, Qt::QueuedConnection);
    }
    refresh();
}

void ScreenMonitorLabel::refresh()
{
    Picture* own = m_screenPicture.data();
    if (!own) {
        setText(captionFor(nullptr, false));
        return;
    }
    Picture* shown = own->independentOutput() ? own->independentOutput() : own;
    setText(captionFor(shown, own->black()));
}
