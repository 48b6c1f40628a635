#include "CustomerCode.h"

#include "platform/Log.h"

namespace kivo {

namespace {

bool isInvisible(char16_t c)
{
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

} // namespace

QString CustomerCode::withoutInvisibles(const QString &text)
{
    QString out = text;
    out.removeIf([](QChar c) { return isInvisible(c.unicode()); });
    return out;
}

QString CustomerCode::clean(const QString &text)
{
    return withoutInvisibles(text).trimmed();
}

QString CustomerCode::refusal(const QString &code)
{
    if (code.trimmed().isEmpty())
        return QStringLiteral("no code");
    if (code.size() > kMaxLength)
        return QStringLiteral("longer than %1 characters").arg(kMaxLength);
    if (code == QLatin1String(".") || code == QLatin1String(".."))
        return QStringLiteral("it could lead outside its folder");
    for (const QChar c : code) {
        if (c == u'/' || c.category() == QChar::Other_Control)
            return QStringLiteral("it could lead outside its folder");
    }
    return {};
}

QString CustomerCode::refusedText(const QString &code, const QString &why)
{
    return QStringLiteral("refused code [%1]: %2").arg(logSafe(code, kMaxLength), why);
}

} // namespace kivo
