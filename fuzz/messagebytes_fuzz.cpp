#include "fuzzcheck.h"
#include "timelineevent.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QChar>

// A communication event whose fields make a message must produce exactly the bytes its fields describe: hex pairs
// one byte each, text as UTF-8, an OSC message as three NUL-padded strings.
namespace {

QString textFrom(FuzzedDataProvider& input, bool utf16, size_t largest)
{
    const std::string raw = input.ConsumeRandomLengthString(largest);
    if (!utf16)
        return QString::fromUtf8(raw.data(), qsizetype(raw.size()));
    // Raw UTF-16 also brings lone surrogates and NULs the UTF-8 path cannot.
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.data()), qsizetype(raw.size() / 2));
}

qsizetype paddedOscLength(const QString& text)
{
    const qsizetype withNul = text.toUtf8().size() + 1;
    return (withNul + 3) / 4 * 4;
}

void checkHex(const QString& payload, const QByteArray& bytes)
{
    qsizetype digits = 0;
    for (const char32_t c : payload.toUcs4())
        digits += QChar::isSpace(c) ? 0 : 1;
    fuzzCheck(bytes.size() * 2 == digits, "hex text gives one byte per pair of digits");
    // The bytes written back as plain pairs must read to the same bytes.
    TimelineEvent again;
    again.hex = true;
    again.payload = QString::fromLatin1(bytes.toHex(' '));
    fuzzCheck(again.data() == bytes, "hex bytes written as pairs read back equal");
}

void checkOsc(const TimelineEvent& event, const QByteArray& bytes)
{
    const qsizetype addressLength = paddedOscLength(event.oscAddress);
    fuzzCheck(bytes.size() == addressLength + 4 + paddedOscLength(event.payload), "OSC message has its stated length");
    fuzzCheck(bytes.size() % 4 == 0, "OSC message is a multiple of four bytes");
    fuzzCheck(bytes.startsWith(event.oscAddress.toUtf8()), "OSC message starts with its address");
    fuzzCheck(bytes.mid(addressLength, 4) == QByteArray(",s\0\0", 4), "OSC message carries one string argument");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    TimelineEvent event;
    event.track = Track::message;
    event.transport = input.PickValueInArray({Transport::udp, Transport::tcp, Transport::osc});
    event.hex = input.ConsumeBool();
    const bool utf16 = input.ConsumeBool();
    event.host = textFrom(input, utf16, 64);
    event.port = input.ConsumeIntegralInRange<qint64>(-2, 65537);
    event.oscAddress = textFrom(input, utf16, 256);
    event.payload = textFrom(input, utf16, size_t(-1));

    const std::optional<QByteArray> bytes = event.data();
    if (event.validMessage()) {
        fuzzCheck(bytes && !bytes->isEmpty(), "a valid message has bytes to send");
        fuzzCheck(event.transport == Transport::tcp || bytes->size() <= 65507, "a valid datagram fits in UDP");
    }
    if (!bytes)
        return 0;
    if (event.transport == Transport::osc)
        checkOsc(event, *bytes);
    else if (event.hex)
        checkHex(event.payload, *bytes);
    else
        fuzzCheck(*bytes == event.payload.toUtf8(), "text is sent as its UTF-8");
    return 0;
}
