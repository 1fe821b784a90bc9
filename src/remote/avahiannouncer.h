#pragma once

#include "avahiqtpoll.h"
#include "remoteannouncer.h"

#include <QByteArray>
#include <avahi-client/client.h>
#include <avahi-client/publish.h>

// Advertises the remote's TCP service through the Avahi daemon, on the system bus. Without a daemon it says so and
// registers as soon as one appears; a name that another computer holds is replaced by Avahi's next alternative.
class AvahiAnnouncer : public RemoteAnnouncer
{
    Q_OBJECT
  public:
    explicit AvahiAnnouncer(QObject* parent = nullptr);
    ~AvahiAnnouncer() override;

    void publish(const QString& name, quint16 port) override;
    void withdraw() override;
    QString statusText() const override;
    // What the operator reads after the host name when Avahi fails with this error code.
    static QString failureText(int avahiError);

    // The name the service carries now, after any collision.
    QString serviceName() const { return QString::fromUtf8(m_name); }
    bool isPublished() const { return m_state == State::published; }

  private:
    enum class State { idle, noDaemon, registering, published, failed };
    static void onClient(AvahiClient* client, AvahiClientState state, void* self);
    static void onGroup(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self);
    void clientChanged(AvahiClient* client, AvahiClientState state);
    void groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state);
    void connectClient();
    void addService(AvahiClient* client);
    void takeAlternativeName();
    void setState(State state, int error = 0);

    AvahiQtPoll m_poll;
    AvahiClient* m_client = nullptr;
    AvahiEntryGroup* m_group = nullptr;
    QByteArray m_name;
    quint16 m_port = 0;
    State m_state = State::idle;
    int m_error = 0;
    QString m_hostName;
};
