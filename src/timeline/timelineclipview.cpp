#include "timelineclipview.h"

#include "consolecolors.h"
#include "lumoicons.h"
#include "operatorlocale.h"
#include "shownlength.h"
#include "timelinegeometry.h"

#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <map>
#include <tuple>

using namespace TimelineGeometry;

static constexpr double kCornerRadius = 4;
static constexpr double kIconSize = 12;
static constexpr double kLabelSpacing = 4;

TimelineClipView::TimelineClipView(const TimelineLayout::LaneClip& clip, double laneTop)
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
    return shownLength(QFileInfo(asset()->url.path()).fileName());
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
    const QString time = operatorLocale().toString(event().time, 'f', QLocale::FloatingPointShortest);
    const QString what = asset() ? QFileInfo(asset()->url.path()).fileName() : transportWord(event().transport);
    return time + QStringLiteral(" 秒 · ") + what;
}

// Symbols and corners are drawn once and reused, so that a busy cue paints quickly.
template <typename Key, typename Draw> static const QImage& cachedImage(Key key, QSizeF size, qreal ratio, Draw draw)
{
    // Images rather than pixmaps: they may outlive the application object at exit.
    static std::map<Key, QImage> cache;
    // A cue with clips of very many widths starts afresh now and then rather than growing without end.
    if (cache.size() > 1024)
        cache.clear();
    auto found = cache.find(key);
    if (found == cache.end() || found->second.devicePixelRatio() != ratio) {
        QImage image((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
        p.end();
        found = cache.insert_or_assign(key, image).first;
    }
    return found->second;
}

static const QImage& symbolImage(const QString& symbol, qreal ratio)
{
    return cachedImage(symbol, {kIconSize, kIconSize}, ratio, [&](QPainter& p) {
        paintLumoSymbol(p, QRectF(0, 0, kIconSize, kIconSize), symbol, ConsoleColors::primaryText());
    });
}

// A block with rounded corners on whole pixels: a quarter of a cached disc in each corner, plain fills elsewhere.
static void fillRoundedBlock(QPainter& painter, const QRectF& block, const QColor& fill)
{
    const int radius = int(kCornerRadius);
    const QRect pixels(qRound(block.left()), qRound(block.top()), std::max(1, qRound(block.width())),
                       qRound(block.height()));
    if (pixels.width() < 2 * radius) {
        painter.fillRect(pixels, fill);
        return;
    }
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QImage& disc = cachedImage(fill.rgba(), QSizeF(2 * radius, 2 * radius), ratio, [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(QRectF(0, 0, 2 * radius, 2 * radius));
    });
    const int right = pixels.left() + pixels.width() - radius;
    const int bottom = pixels.top() + pixels.height() - radius;
    const QRectF quarter(0, 0, radius * ratio, radius * ratio);
    painter.drawImage(QRectF(pixels.left(), pixels.top(), radius, radius), disc, quarter);
    painter.drawImage(QRectF(right, pixels.top(), radius, radius), disc, quarter.translated(radius * ratio, 0));
    painter.drawImage(QRectF(pixels.left(), bottom, radius, radius), disc, quarter.translated(0, radius * ratio));
    painter.drawImage(QRectF(right, bottom, radius, radius), disc, quarter.translated(radius * ratio, radius * ratio));
    painter.fillRect(QRect(pixels.left() + radius, pixels.top(), pixels.width() - 2 * radius, pixels.height()), fill);
    painter.fillRect(QRect(pixels.left(), pixels.top() + radius, radius, pixels.height() - 2 * radius), fill);
    painter.fillRect(QRect(right, pixels.top() + radius, radius, pixels.height() - 2 * radius), fill);
}

QColor TimelineClipView::fill(bool selected)
{
    QColor colour = selected ? ConsoleColors::cyan() : QColor(0x0A, 0x84, 0xFF);
    colour.setAlphaF(selected ? 0.8f : 0.55f);
    return colour;
}

// The block, its icon and its handle, with the block's top left corner at the origin.
void TimelineClipView::paintBlock(QPainter& painter, bool selected) const
{
    const QRectF block(0, 0, width(), rect().height());
    fillRoundedBlock(painter, block, fill(selected));
    if (showsIcon())
        painter.drawImage(QPointF(qRound(inset()), qRound(block.center().y() - kIconSize / 2)),
                          symbolImage(symbol(), painter.device()->devicePixelRatioF()));
    if (const auto handle = handleRect())
        painter.fillRect(handle->translated(-rect().topLeft()), QColor(255, 255, 255, 166));
}

void TimelineClipView::paint(QPainter& painter, bool selected, bool faded) const
{
    const QRectF block = rect();
    const double opacity = painter.opacity();
    if (faded)
        painter.setOpacity(opacity * 0.35);
    const QPointF corner(qRound(block.left()), qRound(block.top()));
    const int pixels = std::max(1, qRound(width()));
    // Clips of the same width look alike but for their name: the rest is drawn once and reused.
    if (pixels <= kCachedWidth) {
        const auto key = std::tuple(pixels, selected, symbol(), handleRect().has_value());
        painter.drawImage(corner,
                          cachedImage(key, QSizeF(pixels, block.height()), painter.device()->devicePixelRatioF(),
                                      [&](QPainter& p) { paintBlock(p, selected); }));
    } else {
        painter.translate(corner);
        paintBlock(painter, selected);
        painter.translate(-corner);
    }

    // The icon always fits where it is shown; the name is cut off at the block's edge.
    if (const auto label = name()) {
        const double x = block.left() + inset() + (showsIcon() ? kIconSize + kLabelSpacing : 0);
        painter.setPen(ConsoleColors::primaryText());
        const QRectF textRect(x, block.top(), block.right() - inset() - x, block.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, *label);
    }
    painter.setOpacity(opacity);
}
