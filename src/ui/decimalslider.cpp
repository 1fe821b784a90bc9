#include "decimalslider.h"

#include <QSignalBlocker>
#include <cmath>

static constexpr double kSteps = 1000;

DecimalSlider::DecimalSlider(double minimum, double maximum, QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(int(std::lround(minimum * kSteps)), int(std::lround(maximum * kSteps)));
    connect(this, &QSlider::valueChanged, this, [this] { emit moved(decimalValue()); });
}

double DecimalSlider::decimalValue() const
{
    return value() / kSteps;
}

void DecimalSlider::setDecimalValue(double value)
{
    const QSignalBlocker quiet(this);
    setValue(std::isfinite(value) ? int(std::lround(value * kSteps)) : minimum());
}
