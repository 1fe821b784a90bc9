#include "timelinearea.h"

#include "lumohelp.h"
#include "timelineeditormodel.h"
#include "timelinelaneheader.h"
#include "timelineviewport.h"

#include <QHBoxLayout>
#include <QPainter>

TimelineArea::TimelineArea(TimelineEditorModel& model, Engine& engine, QWidget* parent)
    : QWidget(parent), m_header(new TimelineLaneHeader(model, this)),
      m_viewport(new TimelineViewport(model, engine, this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_header, 0, Qt::AlignTop);
    row->addWidget(m_viewport, 1, Qt::AlignTop);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lumoHelp(this, TimelineViewport::kHelp);
}

void TimelineArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 64));
    painter.drawRoundedRect(rect(), 6, 6);
}
