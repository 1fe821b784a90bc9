#pragma once

#include <QProcess>
#include <QString>
#include <vector>

// One ArtDmx packet as Wireshark's dissector decoded it.
struct DecodedArtDmx
{
    QString id;
    QString opcode;
    int protocolVersion = -1;
    int sequence = -1;
    int physical = -1;
    int universe = -1;
    int length = -1;
    std::vector<int> channels; // channel 1 first
};

// tshark capturing UDP to one port on the loopback interface, decoding it as Art-Net.
class TsharkCapture
{
  public:
    static bool available();

    TsharkCapture(quint16 port, int packetCount, int seconds);
    ~TsharkCapture();

    // True once tshark says it captures; packets sent before that may be missed.
    bool waitUntilCapturing(int timeoutMilliseconds);
    bool waitForFinished(int timeoutMilliseconds) { return m_process.waitForFinished(timeoutMilliseconds); }
    std::vector<DecodedArtDmx> packets(int timeoutMilliseconds);
    QString errors() const { return m_errors; }

  private:
    QProcess m_process;
    QString m_errors;
};
