#include "remotehost.h"

#include "avahiannouncer.h"
#include "engine.h"
#include "jsonreader.h"
#include "remotebluetoothperipheral.h"
#include "remoteengineactions.h"
#include "remotetcplistener.h"
#include "remotetransport.h"
#include "steadyclock.h"

#include <QRandomGenerator>
#include <QTextBoundaryFinder>
#include <cmath>

static RemoteHost::Services completed(RemoteHost::Services services)
{
    if (!services.clock)
        services.clock = std::make_shared<SteadyClock>();
    if (!services.drawCode)
        services.drawCode = [] { return QRandomGenerator::system()->bounded(100'000'000u); };
    return services;
}

RemoteHost::RemoteHost(Engine* engine, QObject* parent) : RemoteHost(engine, Services{}, parent) {}

RemoteHost::RemoteHost(Engine* engine, Services services, QObject* parent)
    : QObject(parent), m_engine(engine), m_services(completed(std::move(services))), m_guard(m_services.limits)
{
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, [this] {
        prunePending();
        armExpiry();
    });
}

RemoteHost::~RemoteHost() = default;

std::function<RemoteHost*(Engine*)> RemoteHost::factory()
{
    return [](Engine* engine) {
        auto* host = new RemoteHost(engine, engine);
        host->addTransport(
            std::make_unique<RemoteTcpListener>(RemoteTcpListener::Settings{}, std::make_unique<AvahiAnnouncer>()));
        host->addTransport(std::make_unique<RemoteBluetoothPeripheral>());
        return host;
    };
}

Engine* RemoteHost::engine() const
{
    return m_engine;
}

double RemoteHost::uptime() const
{
    return m_services.clock->uptime();
}

QList<RemoteAttemptGuard::Lockout> RemoteHost::lockouts() const
{
    return m_guard.lockouts(uptime());
}

void RemoteHost::setLan(const QString& text)
{
    if (std::exchange(m_lan, text) != text)
        emit lanChanged();
}

void RemoteHost::setBluetooth(const QString& text)
{
    if (std::exchange(m_bluetooth, text) != text)
        emit bluetoothChanged();
}

void RemoteHost::addTransport(std::unique_ptr<RemoteTransport> transport)
{
    m_transports.push_back(std::move(transport));
}

void RemoteHost::start(bool allowBluetooth)
{
    if (m_enabled)
        return;
    m_enabled = true;
    emit enabledChanged();
    drawNewCode();
    setLan(QStringLiteral("正在启动"));
    setBluetooth(QStringLiteral("正在启动"));
    for (const auto& transport : m_transports)
        if (allowBluetooth || transport->link() != RemotePeer::Link::bluetooth)
            transport->start(*this);
}

void RemoteHost::stop()
{
    if (std::exchange(m_enabled, false))
        emit enabledChanged();
    if (!std::exchange(m_code, QString()).isEmpty())
        emit codeChanged();
    for (const auto& transport : m_transports)
        transport->stop();
    m_expiry.stop();
    if (!m_pending.isEmpty()) {
        m_pending.clear();
        emit pendingChanged();
    }
    m_approved.clear();
    m_denied.clear();
    m_guard.clear();
    emit attemptsChanged();
}

void RemoteHost::decide(Pairing pairing, bool allow)
{
    const auto waiting = [&](const Pairing& entry) { return entry.id == pairing.id; };
    if (std::none_of(m_pending.cbegin(), m_pending.cend(), waiting) || pairing.expires <= uptime())
        return;
    m_pending.removeIf(waiting);
    (allow ? m_approved : m_denied).insert(pairing.id);
    emit pendingChanged();
    armExpiry();
}

QByteArray RemoteHost::reply(const QByteArray& bytes, const RemotePeer& peer)
{
    return answer(m_enabled && m_engine ? RemoteRequest::decode(bytes) : std::nullopt, peer).encode();
}

RemoteStatus RemoteHost::answer(const std::optional<RemoteRequest>& request, const RemotePeer& peer)
{
    RemoteStatus status;
    if (!m_enabled || !m_engine || !request) {
        status.error = QStringLiteral("遥控已关闭或请求无效");
        return status;
    }
    if (request->action == RemoteAction::pair || request->action == RemoteAction::pairingStatus)
        return pairingReply(*request, peer);
    if (std::optional<RemoteStatus> refused = refusal(*request, peer))
        return *refused;
    const std::optional<QString> error = runRemoteAction(*m_engine, *request);
    status = remoteStatus(*m_engine);
    status.error = error;
    return status;
}

// Control characters (a line break could fake a second row in the panel) become spaces, a lone surrogate U+FFFD;
// graphemes stay whole, unless one alone is longer than the name may be (a letter under thousands of marks).
static QString shownName(const std::optional<QString>& deviceName)
{
    QString name = deviceName.value_or(QString());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            name[i] = QChar::ReplacementCharacter;
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            name[i] = u' ';
    }
    name = name.trimmed();
    if (name.isEmpty())
        return QStringLiteral("移动设备");
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    qsizetype end = 0;
    for (int count = 0; count < RemoteHost::kLongestName; ++count) {
        const qsizetype next = graphemes.toNextBoundary();
        if (next < 0 || next > RemoteHost::kLongestNameUnits)
            break;
        end = next;
    }
    if (end == 0)
        end = RemoteHost::kLongestNameUnits - (name.at(RemoteHost::kLongestNameUnits - 1).isHighSurrogate() ? 1 : 0);
    return name.left(end);
}

RemoteStatus RemoteHost::pairingReply(const RemoteRequest& request, const RemotePeer& peer)
{
    const QString& id = request.code;
    prunePending();
    const auto has = [&](const Pairing& entry) { return entry.id == id; };
    const auto fromPeer = [&](const Pairing& entry) { return entry.peer == peer; };
    RemoteStatus status;
    if (m_approved.contains(id))
        status.pairing = QStringLiteral("approved");
    else if (m_denied.contains(id))
        status.pairing = QStringLiteral("denied");
    else if (std::any_of(m_pending.cbegin(), m_pending.cend(), has))
        status.pairing = QStringLiteral("pending");
    if (status.pairing || request.action == RemoteAction::pairingStatus) {
        status.pairing = status.pairing.value_or(QStringLiteral("expired"));
        return status;
    }
    // One peer filling the list would crowd out every other phone, so it gets a few places only.
    if (!uuidFrom(id) || m_pending.size() >= kMostPending || m_approved.size() + m_denied.size() >= kMostDecided ||
        std::count_if(m_pending.cbegin(), m_pending.cend(), fromPeer) >= kMostPendingPerPeer) {
        status.pairing = QStringLiteral("expired");
        return status;
    }
    m_pending.append({id, shownName(request.deviceName), uptime() + m_services.pairingLifetime, peer});
    emit pendingChanged();
    armExpiry();
    status.pairing = QStringLiteral("pending");
    return status;
}

static QString tryLater(double seconds)
{
    return QStringLiteral("连接码错误次数过多 · 请 %1 秒后再试").arg(std::ceil(seconds));
}

// Why a request that needs the code is not let through, or none. A phone the operator approved is let through by
// its device id even while its address is locked out: its id cannot be guessed, and others may share the address.
std::optional<RemoteStatus> RemoteHost::refusal(const RemoteRequest& request, const RemotePeer& peer)
{
    if (m_approved.contains(request.code))
        return std::nullopt;
    const double now = uptime();
    RemoteStatus status;
    if (const std::optional<double> wait = m_guard.lockedFor(peer, now)) {
        status.error = tryLater(*wait);
        return status;
    }
    if (request.code == m_code)
        return std::nullopt;
    if (m_guard.fail(peer, now))
        drawNewCode();
    emit attemptsChanged();
    const std::optional<double> wait = m_guard.lockedFor(peer, now);
    status.error = wait ? tryLater(*wait) : QStringLiteral("连接码无效或遥控已关闭");
    return status;
}

void RemoteHost::drawNewCode()
{
    m_code = QString::asprintf("%08u", m_services.drawCode() % 100'000'000u);
    m_guard.newCode();
    emit codeChanged();
}

void RemoteHost::prunePending()
{
    const double now = uptime();
    if (m_pending.removeIf([&](const Pairing& entry) { return entry.expires <= now; }) > 0)
        emit pendingChanged();
}

// One timer for the request that lapses first; it looks again for the rest.
void RemoteHost::armExpiry()
{
    if (m_pending.isEmpty()) {
        m_expiry.stop();
        return;
    }
    const auto first = std::min_element(m_pending.cbegin(), m_pending.cend(),
                                        [](const Pairing& a, const Pairing& b) { return a.expires < b.expires; });
    const double seconds = std::max(first->expires - uptime(), 0.0);
    m_expiry.start(int(std::min(std::ceil(seconds * 1000), 86'400'000.0)) + 1);
}
