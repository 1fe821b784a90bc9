#pragma once

#include <QProcess>
#include <QString>
#include <optional>

// liblo's oscdump listening on one UDP port: an OSC receiver that is not ours.
class OscDump
{
  public:
    static bool available();

    explicit OscDump(quint16 port);
    ~OscDump();

    // True once the port is bound, so a message sent now is received.
    bool waitUntilListening(int timeoutMilliseconds);
    // The next message as printed, without its time tag: address, type tags, arguments.
    std::optional<QString> nextMessage(int timeoutMilliseconds);
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

  private:
    quint16 m_port;
    QProcess m_process;
    QByteArray m_pending;
};
