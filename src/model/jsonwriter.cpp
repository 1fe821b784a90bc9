#include "jsonwriter.h"

#include "showjson.h"

#include <QLocale>
#include <cmath>

void JsonWriter::begin(char bracket)
{
    m_text += bracket;
    if (m_indented)
        m_text += '\n';
    ++m_depth;
    m_first = true;
}

void JsonWriter::end(char bracket)
{
    if (m_indented && !m_first)
        m_text += '\n';
    --m_depth;
    indent();
    m_text += bracket;
    m_first = false;
}

void JsonWriter::separate()
{
    if (!m_first)
        m_text += m_indented ? ",\n" : ",";
    m_first = false;
    indent();
}

void JsonWriter::indent()
{
    if (m_indented)
        m_text.append(4 * m_depth, ' ');
}

void JsonWriter::key(QLatin1StringView name)
{
    separate();
    m_text += '"';
    m_text += QByteArrayView(name.data(), name.size());
    m_text += m_indented ? "\": " : "\":";
}

void JsonWriter::key(const QString& name)
{
    separate();
    string(name);
    m_text += m_indented ? ": " : ":";
}

void JsonWriter::element()
{
    separate();
}

static char hexDigit(uint value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

static void appendEscape(QByteArray& text, char16_t unit)
{
    text += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += hexDigit((unit >> shift) & 0xF);
}

static void appendUtf8(QByteArray& text, char32_t c)
{
    if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
    } else {
        text += char(0xF0 | (c >> 18));
        text += char(0x80 | ((c >> 12) & 0x3F));
        text += char(0x80 | ((c >> 6) & 0x3F));
    }
    text += char(0x80 | (c & 0x3F));
}

// Escapes as Qt does: quote, backslash and control characters; everything else as UTF-8, a lone surrogate as \u.
void JsonWriter::string(const QString& text)
{
    m_text += '"';
    const char16_t* unit = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = unit + text.size();
    for (; unit != end; ++unit) {
        const char16_t c = *unit;
        if (c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\') {
            m_text += char(c);
            continue;
        }
        if (c < 0x80) {
            m_text += '\\';
            switch (c) {
            case u'"':
                m_text += '"';
                break;
            case u'\\':
                m_text += '\\';
                break;
            case u'\b':
                m_text += 'b';
                break;
            case u'\f':
                m_text += 'f';
                break;
            case u'\n':
                m_text += 'n';
                break;
            case u'\r':
                m_text += 'r';
                break;
            case u'\t':
                m_text += 't';
                break;
            default:
                m_text += "u00";
                m_text += hexDigit(c >> 4);
                m_text += hexDigit(c & 0xF);
            }
        } else if (QChar::isHighSurrogate(c) && unit + 1 != end && QChar::isLowSurrogate(unit[1])) {
            appendUtf8(m_text, QChar::surrogateToUcs4(c, unit[1]));
            ++unit;
        } else if (QChar::isSurrogate(c)) {
            appendEscape(m_text, c);
        } else {
            appendUtf8(m_text, c);
        }
    }
    m_text += '"';
}

void JsonWriter::number(double value)
{
    // Qt keeps whole numbers up to 2^53 as integers and writes them without an exponent.
    constexpr double exactIntegers = 9007199254740992.0;
    if (value == std::trunc(value) && std::abs(value) <= exactIntegers)
        integer(qint64(value));
    else
        m_text += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

void JsonWriter::integer(qint64 value)
{
    m_text += QByteArray::number(value);
}

void JsonWriter::latin1(QByteArrayView text)
{
    m_text += '"';
    m_text += text;
    m_text += '"';
}

QByteArray JsonWriter::finish()
{
    if (m_indented)
        m_text += '\n';
    return std::move(m_text);
}

[[noreturn]] static void refuse(const JsonPlace& place, const QString& problem)
{
    throw ShowJsonError(place.text() + QStringLiteral("：") + problem);
}

void writeValue(JsonWriter& out, const QString& value, const JsonPlace&)
{
    out.string(value);
}

void writeValue(JsonWriter& out, double value, const JsonPlace& place)
{
    if (!std::isfinite(value))
        refuse(place, QStringLiteral("数字 %1 不是有限值，无法写入").arg(value));
    out.number(value);
}

void writeValue(JsonWriter& out, qint64 value, const JsonPlace&)
{
    out.integer(value);
}

void writeValue(JsonWriter& out, bool value, const JsonPlace&)
{
    out.boolean(value);
}

void writeValue(JsonWriter& out, const QUuid& value, const JsonPlace&)
{
    out.latin1(value.toByteArray(QUuid::WithoutBraces).toUpper());
}

void writeValue(JsonWriter& out, const QUrl& value, const JsonPlace& place)
{
    // An empty or broken URL would make the whole file unreadable.
    if (value.isEmpty() || !value.isValid())
        refuse(place, QStringLiteral("文件地址为空或无效，无法写入"));
    out.string(QString::fromLatin1(value.toEncoded()));
}

void writeValue(JsonWriter& out, const QPointF& value, const JsonPlace& place)
{
    out.beginArray();
    out.element();
    writeValue(out, value.x(), place);
    out.element();
    writeValue(out, value.y(), place);
    out.endArray();
}

void writeValue(JsonWriter& out, const QRectF& value, const JsonPlace& place)
{
    out.beginArray();
    out.element();
    writeValue(out, value.topLeft(), place);
    out.element();
    writeValue(out, QPointF(value.width(), value.height()), place);
    out.endArray();
}
