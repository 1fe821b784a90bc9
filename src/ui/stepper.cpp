#include "stepper.h"

#include "lumoicons.h"

#include <QBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <algorithm>

Stepper::Stepper(const QString& labelFormat, qint64 minimum, qint64 maximum, QWidget* parent)
    : QWidget(parent), m_format(labelFormat), m_minimum(minimum), m_maximum(maximum), m_value(minimum),
      m_label(new QLabel(this)), m_down(new QToolButton(this)), m_up(new QToolButton(this))
{
    m_down->setObjectName(QStringLiteral("stepDown"));
    m_up->setObjectName(QStringLiteral("stepUp"));
    m_down->setIcon(lumoIcon(QStringLiteral("minus")));
    m_up->setIcon(lumoIcon(QStringLiteral("plus")));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_label, 1);
    row->addWidget(m_down);
    row->addWidget(m_up);
    connect(m_down, &QToolButton::clicked, this, &Stepper::stepDown);
    connect(m_up, &QToolButton::clicked, this, &Stepper::stepUp);
    refresh();
}

void Stepper::setValue(qint64 value)
{
    m_value = value;
    refresh();
}

QString Stepper::labelText() const
{
    return m_label->text();
}

void Stepper::step(int direction)
{
    const qint64 next = std::clamp(m_value + direction, m_minimum, m_maximum);
    if (next == m_value)
        return;
    m_value = next;
    refresh();
    emit stepped(m_value);
}

// A value stored outside the range (typed into the project file) still shows as it is; a step brings it back.
void Stepper::refresh()
{
    m_label->setText(m_format.arg(m_value));
    m_down->setEnabled(m_value > m_minimum);
    m_up->setEnabled(m_value < m_maximum);
}
