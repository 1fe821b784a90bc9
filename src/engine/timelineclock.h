#pragma once

#include <QObject>

// The running timeline's position, republished only when it moves back or by at least 1/24 s.
class TimelineClock : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    double position() const { return current; }
    void update(double position);

  signals:
    void positionChanged(double position);

  private:
    double current = 0;
};
