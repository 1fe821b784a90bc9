#pragma once

#include "artnet.h"
#include "lighting.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

// The engine's lighting: one DMX frame, at most one fade on it, and an ArtDmx packet every 0.04 s while Art-Net is on.
// The status line belongs to the engine; lighting reads and writes it through two callbacks.
class LightingOutput : public QObject
{
    Q_OBJECT

  public:
    using Clock = std::function<double()>;
    struct StatusLine
    {
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };

    static constexpr int kTickMilliseconds = 40;

    // Seconds on a monotonic clock.
    static double systemUptime();

    explicit LightingOutput(Clock uptime = systemUptime, quint16 artNetPort = ArtNet::kPort, QObject* parent = nullptr);

    void setStatusLine(StatusLine statusLine) { m_status = std::move(statusLine); }
    // Only the main engine sends; screen engines never call this.
    void startTicking();

    // Applies the show's Art-Net target now (the lighting panel's "应用").
    void configureLights(const QString& artNetHost, qint64 universe);
    // Starts a cue's fade, making a sender for the show's target when none exists.
    void applyLighting(const std::optional<Lighting>& lighting, const QString& artNetHost, qint64 universe);
    // One fade step and one packet.
    void tickLights();
    // Lights out when a project is opened: one zero frame, then no sender, no levels, no fade.
    void resetLights();

    bool lightsBlack() const { return m_lightsBlack; }
    void setLightsBlack(bool black) { m_lightsBlack = black; }

    const DmxFrame& dmx() const { return m_dmx; }
    bool isSending() const { return m_artNet.has_value(); }
    bool fadeRunning() const { return m_activeAddress.has_value(); }
    qint64 activeUniverse() const { return m_activeUniverse; }

  private:
    // Makes the sender; answers why when none could be made.
    std::optional<ArtNetFailure> openSender(const QString& artNetHost, qint64 universe);
    QString message() const;
    void setMessage(const QString& text);

    Clock m_uptime;
    quint16 m_artNetPort;
    StatusLine m_status;
    QTimer m_timer;

    std::optional<ArtNet> m_artNet;
    qint64 m_activeUniverse = 0;
    DmxFrame m_dmx{};
    bool m_lightsBlack = false;

    std::optional<int> m_activeAddress;
    double m_fadeStart = 0;
    int m_fadeFrom = 0;
    int m_fadeTarget = 0;
    double m_fadeDuration = 0;
};
