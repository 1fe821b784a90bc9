#pragma once

#include <QLabel>

class TimelineClock;

// The running timeline's position in seconds, in orange with two decimals in the operator's locale ("3.50 秒").
class TimelineClockLabel : public QLabel
{
    Q_OBJECT
  public:
    explicit TimelineClockLabel(TimelineClock& clock, QWidget* parent = nullptr);

    static QString formatted(double position, const QLocale& locale);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void refresh();

    TimelineClock& m_clock;
};
