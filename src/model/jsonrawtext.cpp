#include "jsonrawtext.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits of an integer that starts at a minus sign, when they name a number below the 64-bit minimum.
bool isBelowInt64(QByteArrayView digits)
{
    constexpr QByteArrayView kMinimum = "9223372036854775808";
    while (digits.size() > 1 && digits.front() == '0')
        digits = digits.sliced(1);
    return digits.size() > kMinimum.size() || (digits.size() == kMinimum.size() && digits.compare(kMinimum) > 0);
}

} // namespace

std::optional<QString> rawTextProblem(const QByteArray& json)
{
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            } else if (uchar(c) < 0x20) {
                return QStringLiteral("第 %2 字节处的文本中有未转义的控制字符 U+%1")
                    .arg(QString::number(uchar(c), 16).toUpper().rightJustified(4, u'0'), QString::number(i));
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '-') {
            qsizetype end = i + 1;
            while (end < json.size() && isDigit(json.at(end)))
                ++end;
            const bool integer =
                end == json.size() || (json.at(end) != '.' && json.at(end) != 'e' && json.at(end) != 'E');
            if (integer && isBelowInt64(QByteArrayView(json).sliced(i + 1, end - i - 1)))
                return QStringLiteral("第 %2 字节处的整数 %1 小于 64 位整数的最小值")
                    .arg(QString::fromLatin1(json.mid(i, std::min<qsizetype>(end - i, 40))), QString::number(i));
            i = end - 1;
        }
    }
    return std::nullopt;
}
