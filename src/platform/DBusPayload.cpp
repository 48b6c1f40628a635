#include "DBusPayload.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QMetaType>
#include <QStringList>

namespace kivo {

namespace {

// Raised (as a value, not an exception) when the payload passes a limit.
struct Rejected
{
    QString reason;
};

class Converter
{
public:
    explicit Converter(const DBusPayloadLimits &limits) : m_limits(limits) {}

    // A plain value, or an invalid QVariant when `v` is of an unsupported kind.
    // Sets `rejected` when a limit is passed; callers stop then.
    QVariant plain(const QVariant &v, int depth);
    QVariantMap map(const QDBusArgument &arg, int depth, QStringList *dropped);

    std::optional<Rejected> rejected;

private:
    QVariant fromArgument(const QDBusArgument &arg, int depth);
    QVariantList list(const QDBusArgument &arg, int depth, bool structure);
    // Every value read counts, also one that is left out, so no payload keeps
    // the reader busy for long.
    bool countElement()
    {
        if (rejected)
            return false;
        if (++m_elements > m_limits.maxElements)
            rejected = Rejected{QStringLiteral("more than %1 values").arg(m_limits.maxElements)};
        return !rejected;
    }
    bool charge(qsizetype bytes)
    {
        if (rejected)
            return false;
        m_bytes += bytes;
        if (m_bytes > m_limits.maxBytes)
            rejected = Rejected{QStringLiteral("more than %1 bytes").arg(m_limits.maxBytes)};
        return !rejected;
    }

    const DBusPayloadLimits &m_limits;
    int m_elements = 0;
    qsizetype m_bytes = 0;
};

bool isScalar(int typeId)
{
    switch (typeId) {
    case QMetaType::Bool:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QVariant Converter::plain(const QVariant &v, int depth)
{
    if (depth > m_limits.maxDepth) {
        rejected = Rejected{QStringLiteral("nested deeper than %1").arg(m_limits.maxDepth)};
        return {};
    }
    const int type = v.metaType().id();
    if (type == qMetaTypeId<QDBusVariant>())
        return plain(qvariant_cast<QDBusVariant>(v).variant(), depth + 1);
    if (type == qMetaTypeId<QDBusArgument>())
        return fromArgument(*static_cast<const QDBusArgument *>(v.constData()), depth);
    if (type == QMetaType::QString) {
        const QString s = v.toString();
        return charge(s.size() * 2) ? QVariant(s) : QVariant();
    }
    if (type == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        return charge(b.size()) ? QVariant(b) : QVariant();
    }
    if (type == QMetaType::QStringList) {
        QVariantList out;
        for (const QString &s : v.toStringList()) {
            if (!countElement() || !charge(s.size() * 2))
                return {};
            out << s;
        }
        return out;
    }
    if (type == qMetaTypeId<QDBusObjectPath>()) {
        const QString s = qvariant_cast<QDBusObjectPath>(v).path();
        return charge(s.size() * 2) ? QVariant(s) : QVariant();
    }
    if (type == qMetaTypeId<QDBusSignature>()) {
        const QString s = qvariant_cast<QDBusSignature>(v).signature();
        return charge(s.size() * 2) ? QVariant(s) : QVariant();
    }
    if (isScalar(type)) {
        // Small unsigned and short types read as int, as most code expects.
        if (type == QMetaType::UChar || type == QMetaType::Short || type == QMetaType::UShort)
            return v.toInt();
        return v;
    }
    return {}; // file descriptors and whatever else: left out
}

QVariant Converter::fromArgument(const QDBusArgument &arg, int depth)
{
    switch (arg.currentType()) {
    case QDBusArgument::BasicType:
    case QDBusArgument::VariantType:
        return plain(arg.asVariant(), depth);
    case QDBusArgument::ArrayType:
        return list(arg, depth + 1, false);
    case QDBusArgument::StructureType:
        return list(arg, depth + 1, true);
    case QDBusArgument::MapType: {
        QStringList dropped;
        return map(arg, depth + 1, &dropped);
    }
    default:
        return {};
    }
}

QVariantList Converter::list(const QDBusArgument &arg, int depth, bool structure)
{
    QVariantList out;
    if (depth > m_limits.maxDepth) {
        rejected = Rejected{QStringLiteral("nested deeper than %1").arg(m_limits.maxDepth)};
        return out;
    }
    structure ? arg.beginStructure() : arg.beginArray();
    while (!arg.atEnd() && countElement()) {
        const QVariant item = plain(arg.asVariant(), depth);
        if (item.isValid())
            out << item;
    }
    structure ? arg.endStructure() : arg.endArray();
    return out;
}

QVariantMap Converter::map(const QDBusArgument &arg, int depth, QStringList *dropped)
{
    QVariantMap out;
    if (depth > m_limits.maxDepth) {
        rejected = Rejected{QStringLiteral("nested deeper than %1").arg(m_limits.maxDepth)};
        return out;
    }
    arg.beginMap();
    while (!arg.atEnd() && countElement()) {
        arg.beginMapEntry();
        const QVariant rawKey = arg.asVariant();
        const QVariant value = plain(arg.asVariant(), depth);
        arg.endMapEntry();
        const int keyType = rawKey.metaType().id();
        QString key;
        if (keyType == QMetaType::QString || isScalar(keyType))
            key = rawKey.toString();
        if (rejected)
            break;
        if (key.isNull() || !value.isValid()) {
            dropped->append(
                key.isNull()
                    ? QStringLiteral("<key of type %1>").arg(QString::fromLatin1(rawKey.typeName()))
                    : key);
            continue;
        }
        if (!charge(key.size() * 2))
            break;
        out.insert(key, value);
    }
    arg.endMap();
    return out;
}

} // namespace

DBusPayloadResult plainDBusDictionary(const QVariant &argument, const DBusPayloadLimits &limits)
{
    DBusPayloadResult result;
    if (argument.metaType().id() != qMetaTypeId<QDBusArgument>()) {
        result.error = QStringLiteral("not a dictionary");
        return result;
    }
    const auto &arg = *static_cast<const QDBusArgument *>(argument.constData());
    if (arg.currentType() != QDBusArgument::MapType) {
        result.error = QStringLiteral("not a dictionary");
        return result;
    }
    Converter converter(limits);
    QVariantMap map = converter.map(arg, 1, &result.dropped);
    if (converter.rejected) {
        result.error = converter.rejected->reason;
        result.dropped.clear();
        return result;
    }
    result.map = std::move(map);
    return result;
}

} // namespace kivo
