#include "timelineclipview.h"

#include "consolecolors.h"
#include "lumoicons.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

using namespace TimelineGeometry;

static constexpr double kCornerRadius = 4;
static constexpr double kIconSize = 12;
static constexpr double kLabelSpacing = 4;

TimelineClipView::TimelineClipView(const TimelineEditorModel::LaneClip& clip, double laneTop)
    : m_clip(clip), m_laneTop(laneTop)
{
}

QRectF TimelineClipView::rect() const
{
    return {m_clip.x, m_laneTop + kClipTop, width(), kClipBottom - kClipTop};
}

QString TimelineClipView::symbol() const
{
    if (event().track == Track::message)
        return QStringLiteral("paperplane.fill");
    if (isScreen(event().track))
        return QStringLiteral("play.rectangle.fill");
    return QStringLiteral("waveform");
}

std::optional<QString> TimelineClipView::name() const
{
    if (width() < kNameWidth || !asset())
        return std::nullopt;
    return QFileInfo(asset()->url.path()).fileName();
}

double TimelineClipView::inset() const
{
    return std::min(width() * 0.25, 5.0);
}

std::optional<QRectF> TimelineClipView::handleRect() const
{
    if (!asset() || asset()->kind != AssetKind::image)
        return std::nullopt;
    const QRectF block = rect();
    const double handleWidth = std::min(width(), 5.0);
    return QRectF(block.right() - handleWidth, block.center().y() - kHandleHeight / 2, handleWidth, kHandleHeight);
}

static QString transportWord(Transport transport)
{
    switch (transport) {
    case Transport::udp:
        return QStringLiteral("UDP");
    case Transport::tcp:
        return QStringLiteral("TCP");
    case Transport::osc:
        return QStringLiteral("OSC / UDP");
    }
    return {};
}

QString TimelineClipView::help() const
{
    const QString time = QLocale().toString(event().time, 'g', QLocale::FloatingPointShortest);
    const QString what = asset() ? QFileInfo(asset()->url.path()).fileName() : transportWord(event().transport);
    return time + QStringLiteral(" 秒 · ") + what;
}

// The three symbols are drawn once per colour and reused, so that a busy cue paints quickly.
static const QPixmap& symbolPixmap(const QString& symbol, qreal pixelRatio)
{
    static QHash<QString, QPixmap> cache;
    const QString key = symbol + QString::number(pixelRatio);
    auto found = cache.find(key);
    if (found == cache.end()) {
        QPixmap pixmap(QSize(kIconSize, kIconSize) * pixelRatio);
        pixmap.setDevicePixelRatio(pixelRatio);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        paintLumoSymbol(p, QRectF(0, 0, kIconSize, kIconSize), symbol, ConsoleColors::primaryText());
        p.end();
        found = cache.insert(key, pixmap);
    }
    return *found;
}

void TimelineClipView::paint(QPainter& painter, bool selected, bool faded) const
{
    const QRectF block = rect();
    painter.save();
    if (faded)
        painter.setOpacity(0.35);
    QColor fill = selected ? ConsoleColors::cyan() : QColor(0x0A, 0x84, 0xFF);
    fill.setAlphaF(selected ? 0.8f : 0.55f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    if (width() >= 2 * kCornerRadius)
        painter.drawRoundedRect(block, kCornerRadius, kCornerRadius);
    else
        painter.drawRect(block);

    painter.setClipRect(block, Qt::IntersectClip);
    double x = block.left() + inset();
    if (showsIcon()) {
        painter.drawPixmap(QPointF(x, block.center().y() - kIconSize / 2),
                           symbolPixmap(symbol(), painter.device()->devicePixelRatioF()));
        x += kIconSize + kLabelSpacing;
    }
    if (const auto label = name()) {
        painter.setPen(ConsoleColors::primaryText());
        const QRectF textRect(x, block.top(), block.right() - inset() - x, block.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, *label);
    }
    if (const auto handle = handleRect())
        painter.fillRect(*handle, QColor(255, 255, 255, 166));
    painter.restore();
}
