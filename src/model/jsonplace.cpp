#include "jsonplace.h"

QString JsonPlace::text() const
{
    QString text;
    appendTo(text);
    return text;
}

void JsonPlace::appendTo(QString& text) const
{
    if (!m_parent)
        return;
    m_parent->appendTo(text);
    if (m_key) {
        text += u'[' + quotedValue(*m_key) + u']';
    } else if (m_index >= 0) {
        text += QStringLiteral("[%1]").arg(m_index);
    } else {
        if (!text.isEmpty())
            text += u'.';
        text += m_member;
    }
}

QString quotedValue(const QString& value)
{
    constexpr qsizetype kLongest = 80;
    QString text = QStringLiteral("\"");
    for (qsizetype i = 0; i < value.size() && i < kLongest; ++i) {
        const char16_t c = value.at(i).unicode();
        if (c < 0x20 || c == 0x7f)
            text += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            text += value.at(i);
    }
    if (value.size() > kLongest)
        text += QStringLiteral("…");
    return text + u'"';
}
