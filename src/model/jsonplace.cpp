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
        text += QStringLiteral("[\"%1\"]").arg(*m_key);
    } else if (m_index >= 0) {
        text += QStringLiteral("[%1]").arg(m_index);
    } else {
        if (!text.isEmpty())
            text += u'.';
        text += m_member;
    }
}
