#include "model/LogText.h"

namespace {

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString escapeForLog(const QString& text)
{
    bool clean = true;
    for (const QChar c : text)
        clean = clean && !needsEscape(c.unicode());
    if (clean)
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!needsEscape(u))
            out += c;
        else if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u <= 0xff)
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u{%1}").arg(uint(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}
