#include "timelineevent.h"

#include "hexdigit.h"

#include <QList>
#include <algorithm>
#include <cmath>

std::optional<ScreenRole> TimelineEvent::screen() const
{
    if (!isScreen(track))
        return std::nullopt;
    if (outputScreen)
        return outputScreen;
    return track == Track::side ? kScreen2 : kScreen1;
}

qint64 TimelineEvent::effectiveLayer() const
{
    const qint64 value = layer.value_or(1);
    return value < 1 ? 1 : value;
}

std::optional<double> TimelineEvent::clipDuration(const MediaAsset& asset) const
{
    switch (asset.kind) {
    case AssetKind::image: {
        const double seconds = imageDuration.value_or(1.0);
        if (!std::isfinite(seconds))
            return 1.0;
        return std::clamp(seconds, 0.01, 86400.0);
    }
    case AssetKind::video:
        if (asset.duration && std::isfinite(*asset.duration) && *asset.duration > 0)
            return asset.duration;
        return std::nullopt;
    case AssetKind::audio:
        return std::nullopt;
    }
    return std::nullopt;
}

// Whitespace and NUL are judged per code point, so a combining mark cannot hide either.
static bool containsWhitespace(QStringView text)
{
    for (const char32_t c : text.toUcs4())
        if (QChar::isSpace(c))
            return true;
    return false;
}

static bool containsNul(QStringView text)
{
    return text.contains(QChar(u'\0'));
}

// An OSC string: UTF-8, one NUL, then NULs up to a multiple of four bytes.
static void appendOscString(QByteArray& bytes, QStringView text)
{
    bytes += text.toUtf8();
    bytes += '\0';
    while (bytes.size() % 4 != 0)
        bytes += '\0';
}

static std::optional<QByteArray> oscMessage(const QString& address, const QString& payload)
{
    if (!address.startsWith(u'/') || containsWhitespace(address) || containsNul(address) || containsNul(payload))
        return std::nullopt;
    QByteArray bytes;
    appendOscString(bytes, address);
    appendOscString(bytes, u",s");
    appendOscString(bytes, payload);
    return bytes;
}

// A pair read as integer text in base 16: two digits, "+" and one digit, or "-0".
static std::optional<char> hexByte(char32_t first, char32_t second)
{
    const int low = hexDigitValue(second);
    if (low < 0)
        return std::nullopt;
    if (first == U'+')
        return char(low);
    if (first == U'-')
        return low == 0 ? std::optional<char>(0) : std::nullopt;
    const int high = hexDigitValue(first);
    if (high < 0)
        return std::nullopt;
    return char(high * 16 + low);
}

static std::optional<QByteArray> hexBytes(const QString& payload)
{
    QList<char32_t> digits;
    for (const char32_t c : payload.toUcs4())
        if (!QChar::isSpace(c))
            digits.append(c);
    if (digits.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(digits.size() / 2);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const std::optional<char> byte = hexByte(digits[i], digits[i + 1]);
        if (!byte)
            return std::nullopt;
        bytes += *byte;
    }
    return bytes;
}

std::optional<QByteArray> TimelineEvent::data() const
{
    if (transport == Transport::osc)
        return oscMessage(oscAddress, payload);
    if (hex)
        return hexBytes(payload);
    return payload.toUtf8();
}

bool TimelineEvent::validMessage() const
{
    if (host.isEmpty() || containsWhitespace(host))
        return false;
    if (port < 1 || port > 65535)
        return false;
    const std::optional<QByteArray> bytes = data();
    if (!bytes || bytes->isEmpty())
        return false;
    // A UDP datagram carries at most 65507 bytes of payload.
    return transport == Transport::tcp || bytes->size() < 65508;
}
