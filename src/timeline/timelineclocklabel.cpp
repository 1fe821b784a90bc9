#include "timelineclocklabel.h"

#include "consolecolors.h"
#include "operatorlocale.h"
#include "timelineclock.h"

#include <QEvent>
#include <QFontDatabase>
#include <QLocale>

TimelineClockLabel::TimelineClockLabel(TimelineClock& clock, QWidget* parent) : QLabel(parent), m_clock(clock)
{
    // Fixed-width digits, so that the label does not jitter as it counts.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF());
    setFont(digits);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ConsoleColors::orange());
    setPalette(colours);
    connect(&m_clock, &TimelineClock::positionChanged, this, &TimelineClockLabel::refresh);
    refresh();
}

QString TimelineClockLabel::formatted(double position, const QLocale& locale)
{
    return locale.toString(position, 'f', 2) + QStringLiteral(" 秒");
}

void TimelineClockLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        refresh();
    QLabel::changeEvent(event);
}

void TimelineClockLabel::refresh()
{
    setText(formatted(m_clock.position(), operatorLocale()));
}
