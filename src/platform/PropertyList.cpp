// Conversion between property lists (libplist) and QVariant trees.
#include "AtomicFile.h"
#include "Log.h"
#include "PlatformLog.h"
#include "Preferences.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <plist/plist.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kivo {

namespace {

// Seconds between the Unix epoch and the property-list epoch (2001-01-01 UTC).
constexpr qint64 kPlistEpoch = 978307200;
// Nesting beyond this is treated as malformed rather than recursed into.
constexpr int kMaxDepth = 128;
// Property lists larger than this are not read (preference files are small).
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

QVariant fromNode(plist_t node, int depth);

QVariant fromDict(plist_t node, int depth)
{
    QVariantMap map;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    if (!it)
        return map;
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!key)
            break;
        const QVariant converted = fromNode(value, depth + 1);
        if (converted.isValid())
            map.insert(QString::fromUtf8(key), converted);
        free(key);
    }
    free(it);
    return map;
}

QVariant fromNode(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return bool(b);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return qint64(v);
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return v;
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char *s = plist_get_string_ptr(node, &length);
        // A binary file's string may hold NUL characters; a string is written
        // back as a C string, so it is read up to the first one.
        return s ? QString::fromUtf8(s, qsizetype(qstrnlen(s, size_t(length)))) : QString();
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        QByteArray data(bytes, qsizetype(length));
        free(bytes);
        return data;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromMSecsSinceEpoch((kPlistEpoch + sec) * 1000 + usec / 1000,
                                              QTimeZone::utc());
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i) {
            const QVariant item = fromNode(plist_array_get_item(node, i), depth + 1);
            if (item.isValid())
                list.append(item);
        }
        return list;
    }
    case PLIST_DICT:
        return fromDict(node, depth);
    default:
        return {};
    }
}

plist_t toNode(const QVariant &value, int depth);

plist_t toDict(const QVariantMap &map, int depth)
{
    plist_t dict = plist_new_dict();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (plist_t item = toNode(it.value(), depth + 1))
            plist_dict_set_item(dict, it.key().toUtf8().constData(), item);
    }
    return dict;
}

plist_t toArray(const QVariantList &list, int depth)
{
    plist_t array = plist_new_array();
    for (const QVariant &v : list) {
        if (plist_t item = toNode(v, depth + 1))
            plist_array_append_item(array, item);
    }
    return array;
}

plist_t toDate(const QDateTime &when)
{
    qint64 ms = when.toMSecsSinceEpoch() - kPlistEpoch * 1000;
    qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const qint64 usec = (ms - sec * 1000) * 1000;
    sec = std::clamp<qint64>(sec, std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max());
    return plist_new_date(int32_t(sec), int32_t(usec));
}

plist_t toNode(const QVariant &value, int depth)
{
    if (depth > kMaxDepth)
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), uint64_t(data.size()));
    }
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? toDate(value.toDateTime()) : nullptr;
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        return toArray(value.toList(), depth);
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return toDict(value.toMap(), depth);
    default:
        return nullptr;
    }
}

// libplist recurses once per nesting level while it reads and frees a tree,
// so a file nested deeper than kMaxDepth is refused before it gets there.

// XML: element nesting, skipping comments, CDATA, declarations, processing
// instructions and quoted attribute values.
bool xmlNestingIsBounded(const QByteArray &xml)
{
    int depth = 0;
    for (qsizetype i = xml.indexOf('<'); i >= 0; i = xml.indexOf('<', i + 1)) {
        const auto skipTo = [&](const char *end) {
            const qsizetype at = xml.indexOf(end, i);
            return at < 0 ? xml.size() : at;
        };
        const QByteArrayView rest = QByteArrayView(xml).sliced(i);
        if (rest.startsWith("<!--")) {
            i = skipTo("-->");
        } else if (rest.startsWith("<![CDATA[")) {
            i = skipTo("]]>");
        } else if (rest.startsWith("<?")) {
            i = skipTo("?>");
        } else if (rest.startsWith("</")) {
            --depth;
            i = skipTo(">");
        } else if (!rest.startsWith("<!")) {
            qsizetype end = i + 1;
            for (char quote = 0; end < xml.size() && (quote || xml.at(end) != '>'); ++end) {
                const char c = xml.at(end);
                quote = quote ? (c == quote ? 0 : quote) : (c == '"' || c == '\'' ? c : 0);
            }
            if (end >= xml.size() || xml.at(end - 1) != '/')
                ++depth;
            if (depth > kMaxDepth)
                return false;
            i = end;
        }
    }
    return true;
}

quint64 bigEndian(const QByteArray &bytes, qint64 at, int size)
{
    quint64 value = 0;
    for (int k = 0; k < size; ++k)
        value = value << 8 | quint8(bytes.at(at + k));
    return value;
}

// The element count of the object at `at` and where its elements start;
// nothing when the count runs past the end t.
std::optional<std::pair<quint64, qint64>> elementsOf(const QByteArray &b, qint64 at, qint64 t)
{
    quint64 n = quint8(b.at(at)) & 0xF;
    qint64 start = at + 1;
    if (n == 0xF && start < t && (quint8(b.at(start)) >> 4) == 1) {
        const int size = 1 << (quint8(b.at(start)) & 0x3);
        if (start + 1 + size > t)
            return std::nullopt;
        n = bigEndian(b, start + 1, size);
        start += 1 + size;
    }
    return std::make_pair(n, start);
}

// A string object holding a NUL character: libplist aborts (an assertion)
// when it hands such a dictionary key over.
bool stringHoldsNul(const QByteArray &b, qint64 at, qint64 t)
{
    if (at < 8 || at >= t || (quint8(b.at(at)) >> 4 != 0x5 && quint8(b.at(at)) >> 4 != 0x6))
        return false;
    const int unit = quint8(b.at(at)) >> 4 == 0x6 ? 2 : 1;
    const auto elements = elementsOf(b, at, t);
    if (!elements || elements->first > quint64(t - elements->second) / unit)
        return false; // libplist refuses it
    for (qint64 k = elements->second; k < elements->second + qint64(elements->first) * unit;
         k += unit)
        if (b.at(k) == 0 && b.at(k + unit - 1) == 0)
            return true;
    return false;
}

// Binary: container nesting, walking the object table with a bounded number
// of visits (shared or cyclic references cannot make it loop), and dictionary
// keys holding a NUL character. Why the file is refused, or nothing.
std::optional<QString> binaryProblem(const QByteArray &b)
{
    constexpr qint64 kTrailer = 32;
    constexpr quint64 kMaxVisits = 1 << 21;
    const QString tooDeep = QStringLiteral("nested deeper than %1 levels").arg(kMaxDepth);
    if (b.size() < 8 + kTrailer)
        return std::nullopt; // libplist refuses it by itself
    const qint64 t = b.size() - kTrailer;
    const int offsetSize = quint8(b.at(t + 6)), refSize = quint8(b.at(t + 7));
    const quint64 count = bigEndian(b, t + 8, 8), top = bigEndian(b, t + 16, 8);
    const quint64 table = bigEndian(b, t + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || top >= count ||
        table >= quint64(t) || count > (quint64(t) - table) / quint64(offsetSize))
        return std::nullopt;
    const auto offsetOf = [&](quint64 ref) {
        return qint64(bigEndian(b, qint64(table + ref * quint64(offsetSize)), offsetSize));
    };
    std::vector<std::pair<quint64, int>> stack{{top, 0}};
    quint64 visits = 0;
    while (!stack.empty()) {
        const auto [ref, depth] = stack.back();
        stack.pop_back();
        const qint64 at = offsetOf(ref);
        if (depth > kMaxDepth)
            return tooDeep;
        if (at < 8 || at >= t)
            continue;
        const int kind = quint8(b.at(at)) >> 4;
        const auto elements = elementsOf(b, at, t);
        if ((kind != 0xA && kind != 0xD) || !elements)
            continue;
        const auto [keys, refs] = *elements;
        const quint64 n = kind == 0xD ? 2 * keys : keys;
        if (n > quint64(t - refs) / quint64(refSize))
            continue; // runs past the table: libplist refuses it
        if ((visits += n) > kMaxVisits)
            return tooDeep;
        for (quint64 k = 0; k < n; ++k) {
            const quint64 child = bigEndian(b, refs + qint64(k) * refSize, refSize);
            if (child >= count)
                continue;
            if (kind == 0xD && k < keys && stringHoldsNul(b, offsetOf(child), t))
                return QStringLiteral("a key holds a NUL character");
            stack.emplace_back(child, depth + 1);
        }
    }
    return std::nullopt;
}

} // namespace

QVariant parsePropertyList(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMaxFileSize)
        return {};
    const std::optional<QString> problem =
        bytes.startsWith("bplist") ? binaryProblem(bytes)
        : xmlNestingIsBounded(bytes)
            ? std::nullopt
            : std::optional(QStringLiteral("nested deeper than %1 levels").arg(kMaxDepth));
    if (problem) {
        logLine(lcPlatform(), QStringLiteral("parsePropertyList: %1").arg(*problem));
        return {};
    }
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    const PlistPtr owner(root);
    return fromNode(root, 0);
}

QByteArray serializePropertyList(const QVariant &value)
{
    const PlistPtr root(toNode(value, 0));
    if (!root)
        return {};
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(root.get()), &xml, &length);
    QByteArray out(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return out;
}

QVariant readPropertyList(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > kMaxFileSize) {
        logLine(lcPlatform(),
                QStringLiteral("readPropertyList: \"%1\" is too large to be a property list")
                    .arg(path));
        return {};
    }
    return parsePropertyList(file.readAll());
}

bool writePropertyList(const QString &path, const QVariant &value)
{
    const QByteArray xml = serializePropertyList(value);
    if (xml.isEmpty())
        return false;
    QString error;
    if (!writeFileAtomically(path, xml, &error)) {
        logLine(lcPlatform(), QStringLiteral("writePropertyList: %1").arg(error));
        return false;
    }
    return true;
}

} // namespace kivo
