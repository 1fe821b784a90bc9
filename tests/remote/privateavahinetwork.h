#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// An Avahi daemon on a private system bus, for a process that runs in a network and mount namespace of its own:
// only the loopback interface exists there, so nothing is advertised on a real network.
class PrivateAvahiNetwork
{
  public:
    ~PrivateAvahiNetwork();

    // Whether this process was started inside such a namespace by runInside.
    static bool inside();
    // Runs the given test of this program again inside a fresh namespace; an empty error means it could run, and
    // the output holds what it printed.
    static bool runInside(const QString& test, QString& output, QString& whyNot);

    // Loopback up, /run private, the bus running and named in DBUS_SYSTEM_BUS_ADDRESS; false with a reason.
    bool startBus(QString& why);
    bool startAvahi(QString& why);
    // The services of a type that avahi-browse resolves, one "name;address;port" per entry.
    QStringList browse(const QString& type) const;

  private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_avahi;
};
