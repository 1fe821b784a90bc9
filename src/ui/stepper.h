#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

// A whole number stepped by one within its bounds: a label that shows the number ("DMX 地址  %1") and the buttons
// "−" and "+", each disabled at its end of the range.
class Stepper : public QWidget
{
    Q_OBJECT
  public:
    Stepper(const QString& labelFormat, qint64 minimum, qint64 maximum, QWidget* parent = nullptr);

    qint64 value() const { return m_value; }
    void setValue(qint64 value);
    QString labelText() const;
    void stepDown() { step(-1); }
    void stepUp() { step(1); }

  signals:
    // The operator stepped to a new value.
    void stepped(qint64 value);

  private:
    void step(int direction);
    void refresh();

    QString m_format;
    qint64 m_minimum;
    qint64 m_maximum;
    qint64 m_value;
    QLabel* m_label;
    QToolButton* m_down;
    QToolButton* m_up;
};
