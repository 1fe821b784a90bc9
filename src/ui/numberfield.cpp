#include "numberfield.h"

#include <QEvent>
#include <QLocale>
#include <cmath>

NumberField::NumberField(Kind kind, QWidget* parent) : QLineEdit(parent), m_kind(kind)
{
    showValue();
    connect(this, &QLineEdit::returnPressed, this, &NumberField::commit);
}

void NumberField::setValue(double value)
{
    m_value = value;
    if (!hasFocus() || !isModified())
        showValue();
}

std::optional<double> NumberField::parse(const QString& text, Kind kind, const QLocale& locale)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    const double value =
        kind == Kind::integer ? double(locale.toLongLong(trimmed, &ok)) : locale.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void NumberField::setMaximumFractionDigits(int digits)
{
    m_fractionDigits = digits;
    showValue();
}

// Plain decimals in the locale: 100000 is never "1e+05".
QString NumberField::format(double value, Kind kind, int maximumFractionDigits, const QLocale& locale)
{
    if (kind == Kind::integer)
        return locale.toString(qint64(value));
    if (maximumFractionDigits >= 0) {
        const double scale = std::pow(10.0, maximumFractionDigits);
        value = std::round(value * scale) / scale;
    }
    return locale.toString(value, 'f', QLocale::FloatingPointShortest);
}

QString NumberField::shownValue() const
{
    return format(m_value, m_kind, m_fractionDigits);
}

// The receiver stores the number or refuses or clamps it, and tells the field what is stored through setValue();
// the field then shows that, not what was typed.
void NumberField::commit()
{
    if (!isModified())
        return;
    setModified(false);
    const std::optional<double> typed = parse(text(), m_kind);
    if (typed && *typed != m_value) {
        m_value = *typed;
        emit committed(m_value);
    }
    showValue();
}

void NumberField::showValue()
{
    const QString shown = shownValue();
    if (text() != shown)
        setText(shown);
}

void NumberField::focusOutEvent(QFocusEvent* event)
{
    commit();
    QLineEdit::focusOutEvent(event);
}

// The operator's locale can change while the console runs; the number is shown again in the new one.
void NumberField::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        showValue();
    QLineEdit::changeEvent(event);
}
