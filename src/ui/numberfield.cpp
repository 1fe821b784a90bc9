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

std::optional<double> NumberField::parse(const QString& text, Kind kind)
{
    const QLocale locale;
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

QString NumberField::format(double value, Kind kind, int maximumFractionDigits)
{
    const QLocale locale;
    if (kind == Kind::integer)
        return locale.toString(qint64(value));
    if (maximumFractionDigits < 0)
        return locale.toString(value, 'g', QLocale::FloatingPointShortest);
    const double rounded =
        std::round(value * std::pow(10.0, maximumFractionDigits)) / std::pow(10.0, maximumFractionDigits);
    return locale.toString(rounded, 'g', QLocale::FloatingPointShortest);
}

QString NumberField::shownValue() const
{
    return format(m_value, m_kind, m_fractionDigits);
}

void NumberField::commit()
{
    if (!isModified())
        return;
    const std::optional<double> typed = parse(text(), m_kind);
    if (typed && *typed != m_value) {
        m_value = *typed;
        showValue();
        emit committed(m_value);
        return;
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

// The locale can change while the console runs; the number is shown again in the new one.
void NumberField::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        showValue();
    QLineEdit::changeEvent(event);
}
