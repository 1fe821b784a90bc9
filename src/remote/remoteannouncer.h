#pragma once

#include <QObject>
#include <QString>

// Makes the listener findable by name on the local network. It works in the background and reports through
// statusText, which the listener shows as the host's lan text while it listens.
class RemoteAnnouncer : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    // The service name a phone lists; another one is chosen when the name is taken.
    virtual void publish(const QString& name, quint16 port) = 0;
    virtual void withdraw() = 0;
    // The host name phones reach this computer by, and whether it can be found.
    virtual QString statusText() const = 0;

    static constexpr const char* kServiceType = "_lumo-remote._tcp";

  signals:
    void stateChanged();
};
