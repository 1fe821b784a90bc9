#include "avahiannouncer.h"

#include <QSysInfo>
#include <avahi-common/alternative.h>
#include <avahi-common/domain.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

AvahiAnnouncer::AvahiAnnouncer(QObject* parent) : RemoteAnnouncer(parent) {}

AvahiAnnouncer::~AvahiAnnouncer()
{
    withdraw();
}

void AvahiAnnouncer::publish(const QString& name, quint16 port)
{
    withdraw();
    m_name = name.toUtf8();
    if (!avahi_is_valid_service_name(m_name.constData()))
        m_name = "Lumoria";
    m_port = port;
    m_state = State::registering;
    connectClient();
}

void AvahiAnnouncer::withdraw()
{
    if (m_group)
        avahi_entry_group_free(std::exchange(m_group, nullptr));
    if (m_client)
        avahi_client_free(std::exchange(m_client, nullptr));
    m_state = State::idle;
}

QString AvahiAnnouncer::statusText() const
{
    const QString host = m_hostName.isEmpty() ? QSysInfo::machineHostName() : m_hostName;
    switch (m_state) {
    case State::noDaemon:
        return host + QStringLiteral(" · ") + failureText(AVAHI_ERR_NO_DAEMON);
    case State::failed:
        return host + QStringLiteral(" · ") + failureText(m_error);
    default:
        return host;
    }
}

// Avahi's own texts are English; the failures an operator meets get texts of ours, the rest keep Avahi's as a detail.
QString AvahiAnnouncer::failureText(int avahiError)
{
    switch (avahiError) {
    case AVAHI_ERR_NO_DAEMON:
        return QStringLiteral("未找到 Avahi 服务，手机无法自动发现此电脑");
    case AVAHI_ERR_COLLISION:
        return QStringLiteral("无法广播：网络上已有同名的服务，手机无法自动发现此电脑");
    case AVAHI_ERR_BAD_STATE:
        return QStringLiteral("无法广播：Avahi 服务暂时不接受发布，请关闭后重新开启移动遥控");
    default:
        return QStringLiteral("无法广播，手机无法自动发现此电脑（Avahi：%1）")
            .arg(QString::fromUtf8(avahi_strerror(avahiError)));
    }
}

// Waits for a daemon that is not there yet instead of failing, so starting Avahi later is enough.
void AvahiAnnouncer::connectClient()
{
    int error = 0;
    AvahiClient* client = avahi_client_new(m_poll.api(), AVAHI_CLIENT_NO_FAIL, &AvahiAnnouncer::onClient, this, &error);
    if (!client)
        return setState(State::failed, error);
    m_client = client;
}

void AvahiAnnouncer::onClient(AvahiClient* client, AvahiClientState state, void* self)
{
    static_cast<AvahiAnnouncer*>(self)->clientChanged(client, state);
}

void AvahiAnnouncer::onGroup(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self)
{
    static_cast<AvahiAnnouncer*>(self)->groupChanged(group, state);
}

void AvahiAnnouncer::clientChanged(AvahiClient* client, AvahiClientState state)
{
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        m_hostName = QString::fromUtf8(avahi_client_get_host_name_fqdn(client));
        addService(client);
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The daemon is choosing a new host name; the service is added again once it runs.
        if (m_group)
            avahi_entry_group_reset(m_group);
        setState(State::registering);
        break;
    case AVAHI_CLIENT_CONNECTING:
        setState(State::noDaemon);
        break;
    case AVAHI_CLIENT_FAILURE:
        if (avahi_client_errno(client) == AVAHI_ERR_DISCONNECTED) {
            // The daemon went away: start over and wait for it to come back.
            m_group = nullptr;
            avahi_client_free(client);
            m_client = nullptr;
            setState(State::noDaemon);
            connectClient();
        } else {
            setState(State::failed, avahi_client_errno(client));
        }
        break;
    }
}

void AvahiAnnouncer::addService(AvahiClient* client)
{
    if (!m_group)
        m_group = avahi_entry_group_new(client, &AvahiAnnouncer::onGroup, this);
    if (!m_group)
        return setState(State::failed, avahi_client_errno(client));
    if (!avahi_entry_group_is_empty(m_group))
        return;
    for (;;) {
        const int added =
            avahi_entry_group_add_service(m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                                          m_name.constData(), kServiceType, nullptr, nullptr, m_port, nullptr);
        if (added == AVAHI_ERR_COLLISION) {
            takeAlternativeName();
            continue;
        }
        const int result = added < 0 ? added : avahi_entry_group_commit(m_group);
        if (result < 0)
            return setState(State::failed, result);
        return setState(State::registering);
    }
}

void AvahiAnnouncer::takeAlternativeName()
{
    char* next = avahi_alternative_service_name(m_name.constData());
    m_name = next;
    avahi_free(next);
}

void AvahiAnnouncer::groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state)
{
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        setState(State::published);
        break;
    case AVAHI_ENTRY_GROUP_COLLISION:
        takeAlternativeName();
        avahi_entry_group_reset(group);
        addService(avahi_entry_group_get_client(group));
        break;
    case AVAHI_ENTRY_GROUP_FAILURE:
        setState(State::failed, avahi_client_errno(avahi_entry_group_get_client(group)));
        break;
    default:
        break;
    }
}

void AvahiAnnouncer::setState(State state, int error)
{
    m_state = state;
    m_error = error;
    emit stateChanged();
}
