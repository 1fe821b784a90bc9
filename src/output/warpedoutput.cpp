#include "warpedoutput.h"

#include "cornerpin.h"
#include "mappingtexture.h"
#include "polygondistancefieldcache.h"
#include "projectorinput.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>

// The masks cover the whole output.
static const QRectF kWholeOutput(0, 0, 1, 1);

WarpedOutput::WarpedOutput(const ProjectorMapping& mapping, ProjectorInput* content, QWidget* parent)
    : QWidget(parent), m_content(content)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_content->setParent(this);
    connect(m_content, &ProjectorInput::changed, this, qOverload<>(&QWidget::update));
    connect(&PolygonDistanceFieldCache::shared(), &PolygonDistanceFieldCache::ready, this, [this] {
        if (m_fadePending && !m_fadeDrawing)
            updateFade();
    });
    setMapping(mapping);
}

void WarpedOutput::setMapping(const ProjectorMapping& mapping)
{
    if (mapping == m_mapping)
        return;
    const ProjectorMapping old = std::exchange(m_mapping, mapping);
    update();
    if (old.effectiveEdges() == mapping.effectiveEdges() && old.gamma == mapping.gamma &&
        old.polygonMask == mapping.polygonMask && old.blackLevel == mapping.blackLevel)
        return;
    updateMask();
}

void WarpedOutput::updateMask()
{
    m_lift = mappingTexture(m_mapping, kWholeOutput, true, false);
    ++m_maskBuilds;
    updateFade();
}

// The fade of the blends alone is made at once; a polygon's waits for the polygon's field and its 512 × 512 image is
// drawn on a pool thread too. The fade shown before stays meanwhile.
void WarpedOutput::updateFade()
{
    PolygonDistanceFieldCache::Field field = PolygonDistanceFieldCache::shared().field(
        m_mapping.polygonMask, PolygonDistanceField::Sampling::cornerToCorner(kWholeOutput, 512));
    m_fadePending = true;
    m_fadeDrawing = bool(field);
    if (!field)
        return;
    const quint64 serial = ++m_fadeSerial;
    if (field->size == 1) {
        showFade(mappingTexture(m_mapping, kWholeOutput, false, *field));
        return;
    }
    QThreadPool::globalInstance()->start(
        [self = QPointer<WarpedOutput>(this), serial, mapping = m_mapping, field = std::move(field)] {
            std::optional<QImage> fade = mappingTexture(mapping, kWholeOutput, false, *field);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, serial, fade = std::move(fade)] {
                    if (self && serial == self->m_fadeSerial) {
                        self->showFade(fade);
                        self->update();
                    }
                },
                Qt::QueuedConnection);
        });
}

void WarpedOutput::showFade(const std::optional<QImage>& fade)
{
    m_fade = fade;
    m_fadePending = false;
    m_fadeDrawing = false;
    m_fadeDecided = true;
}

void WarpedOutput::paintEvent(QPaintEvent*)
{
    if (m_fadePending && !m_fadeDecided) {
        QPainter(this).fillRect(rect(), Qt::black);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_flat.size() != pixels)
        m_flat = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_flat.setDevicePixelRatio(ratio);
    const QRectF bounds(QPointF(0, 0), QSizeF(size()));
    {
        QPainter flat(&m_flat);
        flat.setCompositionMode(QPainter::CompositionMode_Source);
        flat.fillRect(bounds, Qt::black);
        flat.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_content->paint(flat, bounds.size());
        flat.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_lift)
            flat.drawImage(bounds, *m_lift);
        if (m_fade) {
            flat.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            flat.drawImage(bounds, *m_fade);
        }
    }
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(cornerPinTransform(m_mapping, bounds.size()));
    painter.drawImage(bounds, m_flat);
}

void WarpedOutput::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_content->setActive(true);
}

void WarpedOutput::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_content->setActive(false);
}
