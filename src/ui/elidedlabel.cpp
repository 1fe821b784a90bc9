#include "elidedlabel.h"

#include "shownlength.h"

#include <QPainter>
#include <cmath>

ElidedLabel::ElidedLabel(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text)
{
    const QString shown = shownLength(text);
    if (shown == m_text)
        return;
    m_text = shown;
    updateGeometry();
    update();
}

void ElidedLabel::setColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    update();
}

// Line breaks in a status text would make a second line; they show as spaces.
QString ElidedLabel::line() const
{
    QString line = m_text;
    line.replace('\n', ' ');
    return line;
}

// The painter lays the text out at fractional advances; a width rounded to the nearest pixel can be short of them,
// so the label asks for and compares against the rounded-up width.
int ElidedLabel::lineWidth() const
{
    return int(std::ceil(QFontMetricsF(font()).horizontalAdvance(line())));
}

QString ElidedLabel::shownText() const
{
    if (lineWidth() <= width())
        return line();
    return fontMetrics().elidedText(line(), m_elideMode, width());
}

QSize ElidedLabel::sizeHint() const
{
    return {lineWidth(), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shownText());
}
