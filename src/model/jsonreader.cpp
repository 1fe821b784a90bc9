#include "jsonreader.h"

#include "hexdigit.h"
#include "showjson.h"

#include <array>

void JsonReader::fail(const QString& problem) const
{
    const QString where = m_place.text();
    const QString text = where.isEmpty() ? problem : where + QStringLiteral("：") + problem;
    throw ShowJsonError(text);
}

QJsonObject JsonReader::object() const
{
    if (!m_value.isObject())
        fail(QStringLiteral("应为对象"));
    return m_value.toObject();
}

QJsonArray JsonReader::array() const
{
    if (!m_value.isArray())
        fail(QStringLiteral("应为数组"));
    return m_value.toArray();
}

void readValue(const JsonReader& in, QString& out)
{
    if (!in.value().isString())
        in.fail(QStringLiteral("应为文本"));
    out = in.value().toString();
}

void readValue(const JsonReader& in, double& out)
{
    if (!in.value().isDouble())
        in.fail(QStringLiteral("应为数字"));
    out = in.value().toDouble();
}

void readValue(const JsonReader& in, qint64& out)
{
    const QJsonValue& value = in.value();
    if (!value.isDouble())
        in.fail(QStringLiteral("应为整数"));
    // toInteger falls back to its argument for fractions and numbers outside 64 bits; two fallbacks tell them apart.
    // (An integer just below the minimum arrives as the minimum: the text itself is checked for those.)
    const qint64 number = value.toInteger(0);
    if (number == 0 && value.toInteger(1) != 0)
        in.fail(QStringLiteral("应为 64 位以内的整数，实为 %1").arg(value.toDouble()));
    out = number;
}

void readValue(const JsonReader& in, bool& out)
{
    if (!in.value().isBool())
        in.fail(QStringLiteral("应为 true 或 false"));
    out = in.value().toBool();
}

std::optional<QUuid> uuidFrom(const QString& text)
{
    if (text.size() != 36)
        return std::nullopt;
    std::array<uchar, 16> bytes{};
    int digits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return std::nullopt;
            continue;
        }
        const int value = hexDigitValue(c);
        if (value < 0)
            return std::nullopt;
        bytes[digits / 2] |= uchar(digits % 2 ? value : value << 4);
        ++digits;
    }
    return QUuid::fromRfc4122(QByteArrayView(bytes.data(), bytes.size()));
}

void readValue(const JsonReader& in, QUuid& out)
{
    QString text;
    readValue(in, text);
    const std::optional<QUuid> uuid = uuidFrom(text);
    if (!uuid)
        in.fail(QStringLiteral("不是有效的 UUID ") + quotedValue(text));
    out = *uuid;
}

void readValue(const JsonReader& in, QUrl& out)
{
    QString text;
    readValue(in, text);
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        in.fail(QStringLiteral("不是有效的文件地址 ") + quotedValue(text));
    // Kept as its written form reads, so that saving and reading again gives an equal URL: QUrl keeps some
    // delimiters (a "#" inside a fragment) decoded as given but writes them encoded.
    out = QUrl(QString::fromLatin1(url.toEncoded()), QUrl::StrictMode);
}

static std::optional<QPointF> pointFrom(const QJsonValue& value)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != 2 || !array.at(0).isDouble() || !array.at(1).isDouble())
        return std::nullopt;
    return QPointF(array.at(0).toDouble(), array.at(1).toDouble());
}

void readValue(const JsonReader& in, QPointF& out)
{
    const std::optional<QPointF> point = pointFrom(in.value());
    if (!point)
        in.fail(QStringLiteral("应为点 [x, y]"));
    out = *point;
}

void readValue(const JsonReader& in, QRectF& out)
{
    const QJsonArray array = in.value().toArray();
    const std::optional<QPointF> origin = array.size() == 2 ? pointFrom(array.at(0)) : std::nullopt;
    const std::optional<QPointF> size = array.size() == 2 ? pointFrom(array.at(1)) : std::nullopt;
    if (!in.value().isArray() || !origin || !size)
        in.fail(QStringLiteral("应为矩形 [[x, y], [宽, 高]]"));
    out = QRectF(origin->x(), origin->y(), size->x(), size->y());
}
