#include "lightingoutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

const QString kSendFailed = QStringLiteral(" · Art-Net 发送失败");

QString failureText(const ArtNetFailure& failure)
{
    if (failure.kind == ArtNetFailure::Kind::socket)
        return QStringLiteral("Art-Net 套接字创建失败：%1").arg(failure.reason);
    return QStringLiteral("请输入有效的 IPv4 地址");
}

} // namespace

double LightingOutput::systemUptime()
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

LightingOutput::LightingOutput(Clock uptime, quint16 artNetPort, QObject* parent)
    : QObject(parent), m_uptime(std::move(uptime)), m_artNetPort(artNetPort)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &LightingOutput::tickLights);
}

void LightingOutput::startTicking()
{
    m_timer.start();
}

void LightingOutput::configureLights(const QString& artNetHost, qint64 universe)
{
    resetLights();
    if (artNetHost.isEmpty()) {
        setMessage(QStringLiteral("Art-Net 已停用"));
        return;
    }
    const std::optional<ArtNetFailure> failure = openSender(artNetHost, universe);
    setMessage(failure ? failureText(*failure) : QStringLiteral("Art-Net 已启用 · UDP 无回执"));
}

void LightingOutput::applyLighting(const std::optional<Lighting>& lighting, const QString& artNetHost, qint64 universe)
{
    if (!lighting)
        return;
    if (!m_artNet) {
        if (const std::optional<ArtNetFailure> failure = openSender(artNetHost, universe)) {
            // A bad address is the operator's to fix; a socket failure is the system's and says so.
            const bool badAddress = failure->kind == ArtNetFailure::Kind::invalidAddress;
            setMessage(message() + QStringLiteral(" · ") +
                       (badAddress ? QStringLiteral("Art-Net 地址无效") : failureText(*failure)));
            return;
        }
    }
    // Clamped before the step to a 0-based slot, which would overflow at the far end of the stored range.
    m_activeAddress = int(std::clamp<qint64>(lighting->address, 1, qint64(m_dmx.size())) - 1);
    m_fadeStart = m_uptime();
    m_fadeFrom = m_dmx[*m_activeAddress];
    m_fadeTarget = int(std::clamp<qint64>(lighting->level, 0, 255));
    m_fadeDuration = std::isfinite(lighting->fade) && lighting->fade > 0 ? lighting->fade : 0;
}

void LightingOutput::tickLights()
{
    if (!m_artNet)
        return;
    if (m_activeAddress) {
        const double elapsed = m_uptime() - m_fadeStart;
        const double progress = m_fadeDuration == 0 ? 1 : std::clamp(elapsed / m_fadeDuration, 0.0, 1.0);
        const double level = std::round(m_fadeFrom + progress * (m_fadeTarget - m_fadeFrom));
        m_dmx[*m_activeAddress] = quint8(std::clamp(level, 0.0, 255.0));
        if (progress == 1)
            m_activeAddress.reset();
    }
    const bool sent = m_artNet->send(m_lightsBlack ? DmxFrame{} : m_dmx, m_activeUniverse);
    if (!sent && !message().endsWith(kSendFailed))
        setMessage(message() + kSendFailed);
}

void LightingOutput::resetLights()
{
    if (m_artNet) {
        m_artNet->send(DmxFrame{}, m_activeUniverse);
        m_artNet.reset();
    }
    m_activeAddress.reset();
    m_dmx = {};
}

std::optional<ArtNetFailure> LightingOutput::openSender(const QString& artNetHost, qint64 universe)
{
    m_activeUniverse = universe;
    auto opened = ArtNet::open(artNetHost, m_artNetPort);
    if (const auto* failure = std::get_if<ArtNetFailure>(&opened))
        return *failure;
    m_artNet.emplace(std::move(std::get<ArtNet>(opened)));
    return std::nullopt;
}

QString LightingOutput::message() const
{
    return m_status.read ? m_status.read() : QString();
}

void LightingOutput::setMessage(const QString& text)
{
    if (m_status.write)
        m_status.write(text);
}
