#include "tsharkcapture.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

int fieldValue(const QString& block, const QString& label)
{
    const QRegularExpression pattern(QStringLiteral("^\\s*%1: (\\d+)").arg(label), QRegularExpression::MultilineOption);
    const auto match = pattern.match(block);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString fieldText(const QString& block, const QString& label)
{
    const QRegularExpression pattern(QStringLiteral("^\\s*%1: (.*)$").arg(label), QRegularExpression::MultilineOption);
    const auto match = pattern.match(block);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

// Rows like "  017:   0   0 ..." under "DMX Channels", numbered in decimal.
std::vector<int> channelValues(const QString& block)
{
    std::vector<int> values;
    const qsizetype start = block.indexOf(QStringLiteral("DMX Channels"));
    if (start < 0)
        return values;
    static const QRegularExpression row(QStringLiteral("^\\s+(\\d+):((?:\\s+\\d+)+)\\s*$"),
                                        QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(block.mid(start)); it.hasNext();) {
        const auto match = it.next();
        for (const QString& value : match.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            values.push_back(value.toInt());
    }
    return values;
}

} // namespace

bool TsharkCapture::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty();
}

TsharkCapture::TsharkCapture(quint16 port, int packetCount, int seconds)
{
    const QString portText = QString::number(port);
    m_process.start(QStringLiteral("tshark"),
                    {QStringLiteral("-i"), QStringLiteral("lo"), QStringLiteral("-n"), QStringLiteral("-f"),
                     QStringLiteral("udp dst port ") + portText, QStringLiteral("-c"), QString::number(packetCount),
                     QStringLiteral("-a"), QStringLiteral("duration:") + QString::number(seconds), QStringLiteral("-d"),
                     QStringLiteral("udp.port==%1,artnet").arg(portText), QStringLiteral("-o"),
                     QStringLiteral("dmx_chan.dmx_disp_chan_val_type:Decimal"), QStringLiteral("-o"),
                     QStringLiteral("dmx_chan.dmx_disp_chan_nr_type:Decimal"), QStringLiteral("-V")});
}

TsharkCapture::~TsharkCapture()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool TsharkCapture::waitUntilCapturing(int timeoutMilliseconds)
{
    const QDeadlineTimer deadline(timeoutMilliseconds);
    m_process.setReadChannel(QProcess::StandardError);
    while (!m_errors.contains(QStringLiteral("Capturing on")) && !deadline.hasExpired() &&
           m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(50);
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
    }
    m_process.setReadChannel(QProcess::StandardOutput);
    return m_errors.contains(QStringLiteral("Capturing on"));
}

std::vector<DecodedArtDmx> TsharkCapture::packets(int timeoutMilliseconds)
{
    m_process.waitForFinished(timeoutMilliseconds);
    m_errors += QString::fromUtf8(m_process.readAllStandardError());
    const QString text = QString::fromUtf8(m_process.readAllStandardOutput());
    std::vector<DecodedArtDmx> decoded;
    const QStringList blocks = text.split(QStringLiteral("Art-Net, Opcode"));
    for (qsizetype i = 1; i < blocks.size(); ++i) {
        const QString& block = blocks[i];
        decoded.push_back({fieldText(block, QStringLiteral("ID")), fieldText(block, QStringLiteral("OpCode")),
                           fieldValue(block, QStringLiteral("ProtVer")), fieldValue(block, QStringLiteral("Sequence")),
                           fieldValue(block, QStringLiteral("Physical")), fieldValue(block, QStringLiteral("Universe")),
                           fieldValue(block, QStringLiteral("Length")), channelValues(block)});
    }
    return decoded;
}
