#pragma once

#include <QProcess>
#include <QString>

// A dbus-daemon of the test's own, so nothing reaches the machine's buses.
class PrivateSessionBus
{
  public:
    ~PrivateSessionBus();
    // False with the reason when no daemon could be started.
    bool start(QString& why);
    QString address() const { return m_address; }

  private:
    QProcess m_daemon;
    QString m_address;
};
