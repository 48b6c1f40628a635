#include "Description.h"

#include <QDateTime>
#include <QVariantList>
#include <QVariantMap>

namespace kivo {

namespace {

QString quoted(const QString &s)
{
    bool plain = !s.isEmpty();
    for (const QChar c : s)
        plain = plain && (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.'));
    if (plain)
        return s;
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString describe(const QVariant &value, int indent)
{
    const QString pad(indent * 4, QLatin1Char(' '));
    const QString inner((indent + 1) * 4, QLatin1Char(' '));
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        const QVariantMap map = value.toMap();
        QString out = QStringLiteral("{\n");
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            out += inner + quoted(it.key()) + QStringLiteral(" = ") +
                   describe(it.value(), indent + 1) + QStringLiteral(";\n");
        return out + pad + QLatin1Char('}');
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = value.toList();
        QStringList items;
        for (const QVariant &v : list)
            items << inner + describe(v, indent + 1);
        return QStringLiteral("(\n") + items.join(QStringLiteral(",\n")) +
               (items.isEmpty() ? QString() : QStringLiteral("\n")) + pad + QLatin1Char(')');
    }
    case QMetaType::QByteArray:
        return QLatin1Char('<') + QString::fromLatin1(value.toByteArray().toHex()) +
               QLatin1Char('>');
    case QMetaType::QString:
        return quoted(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDateTime:
        return quoted(value.toDateTime().toString(Qt::ISODate));
    case QMetaType::UnknownType:
        return QStringLiteral("(null)");
    default:
        return quoted(value.toString());
    }
}

} // namespace

QString describe(const QVariant &value)
{
    return describe(value, 0);
}

} // namespace kivo
