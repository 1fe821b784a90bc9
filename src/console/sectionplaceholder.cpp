#include "sectionplaceholder.h"

#include "consolecolors.h"

#include <QPainter>

SectionPlaceholder::SectionPlaceholder(const QString& name, QWidget* parent, int fixedHeight)
    : QWidget(parent), m_name(name)
{
    setObjectName(name);
    setMinimumSize(40, 28);
    if (fixedHeight > 0)
        setFixedHeight(fixedHeight);
}

void SectionPlaceholder::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(4.5, 4.5, -4.5, -4.5);
    painter.setPen(QPen(ConsoleColors::tertiaryText(), 1, Qt::DashLine));
    painter.drawRoundedRect(frame, 6, 6);
    painter.setPen(ConsoleColors::secondaryText());
    painter.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap, m_name);
}
