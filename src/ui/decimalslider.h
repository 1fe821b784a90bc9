#pragma once

#include <QSlider>

// A horizontal slider over a range of decimals, moving in thousandths.
class DecimalSlider : public QSlider
{
    Q_OBJECT
  public:
    DecimalSlider(double minimum, double maximum, QWidget* parent = nullptr);

    double decimalValue() const;
    // Shows a value from outside without reporting a move.
    void setDecimalValue(double value);

  signals:
    // The operator moved the slider (by mouse or keys).
    void moved(double value);
};
