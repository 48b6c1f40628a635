#include "KivoXmlWriter.h"

#include "ReassignLog.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace kivo {

const QString KivoXmlWriter::XmlVersion1_0Header =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>");
const QString KivoXmlWriter::genericItemNameFormat = QStringLiteral("item%1");

namespace {
const QLatin1Char kAttributePrefix('@');

// The reader of the record is an XML parser: a bare & or < would make the
// whole record unreadable.
QString escaped(QString text)
{
    text.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return text;
}

bool isText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

// Numbers and booleans are written as their text; other values are not text.
std::optional<QString> textFrom(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return value.toString();
    default:
        return std::nullopt;
    }
}
} // namespace

std::optional<OrderedDictionary> KivoXmlWriter::dictionaryFrom(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<OrderedDictionary>())
        return value.value<OrderedDictionary>();
    if (value.typeId() == QMetaType::QVariantMap)
        return OrderedDictionary::fromVariantMap(value.toMap());
    if (value.typeId() == QMetaType::QVariantHash) {
        QVariantMap sorted;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            sorted.insert(it.key(), it.value());
        return OrderedDictionary::fromVariantMap(sorted);
    }
    return std::nullopt;
}

std::optional<QVariantList> KivoXmlWriter::arrayFrom(const QVariant &value)
{
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList)
        return value.toList();
    return std::nullopt;
}

bool KivoXmlWriter::doStartConversion2(const QVariantMap &parameter)
{
    m_string = XmlVersion1_0Header + QLatin1Char('\n');
    _indentCount = 0;
    const QString rootName = parameter.value(QStringLiteral("mainXmlKeyName")).toString();
    convertDictionaryToXml(
        dictionaryFrom(parameter.value(QStringLiteral("dictionary"))).value_or(OrderedDictionary()),
        rootName);

    QString path = parameter.value(QStringLiteral("writeXmlPath")).toString();
    if (path.isEmpty())
        path = defaultPath();
    if (!path.isEmpty())
        writeFile(path);
    return true;
}

QString KivoXmlWriter::defaultPath()
{
    // A private, unique folder: a fixed name in a shared temporary folder could
    // be pre-created or linked by another user.
    QTemporaryDir dir(QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                          .filePath(QStringLiteral("kivo-xmlwriter-XXXXXX")));
    if (!dir.isValid()) {
        logLine(lcReassign(),
                QStringLiteral("KivoXmlWriter-doStartConversion2 -> writeToFile returned ERROR = "
                               "%1")
                    .arg(dir.errorString()));
        return QString();
    }
    dir.setAutoRemove(false);
    return dir.filePath(QStringLiteral("xmlFile.xml.tmp"));
}

void KivoXmlWriter::writeFile(const QString &path)
{
    m_writtenPath = path;
    QFile existing(path);
    if (existing.exists() && !existing.remove())
        logLine(lcReassign(),
                QStringLiteral("Error with removeItemAtPath = %1").arg(existing.errorString()));

    QSaveFile file(path);
    const QByteArray bytes = m_string.toUtf8();
    m_error.clear();
    // commit() can report success when its final flush failed (a full disk):
    // the device's error tells.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit() ||
        file.error() != QFileDevice::NoError) {
        m_error = file.errorString();
        logLine(lcReassign(), QStringLiteral("%1-%2 -> writeToFile returned ERROR = %3")
                                  .arg(QStringLiteral("KivoXmlWriter"),
                                       QStringLiteral("doStartConversion2"), m_error));
    }
}

QString KivoXmlWriter::getEndElementKeyName(const QString &key)
{
    return key.section(QLatin1Char(' '), 0, 0);
}

bool KivoXmlWriter::putTabsWithIndexCount(qint64 count)
{
    if (count > 0)
        m_string.append(QString(count, QLatin1Char('\t')));
    return true;
}

QString KivoXmlWriter::getAttributes(OrderedDictionary &dictionary)
{
    QStringList attributeKeys;
    for (const QString &key : dictionary.keys())
        if (key.startsWith(kAttributePrefix))
            attributeKeys.append(key);

    QString attributes;
    for (const QString &key : attributeKeys) {
        const QVariant value = dictionary.value(key);
        if (value.isValid()) {
            QString cleaned = textFrom(value).value_or(QString());
            cleaned.remove(QLatin1Char('"'));
            if (!attributes.isEmpty())
                attributes.append(QLatin1Char(' '));
            attributes.append(key.mid(1) + QLatin1String("=\"") + escaped(cleaned) +
                              QLatin1Char('"'));
        }
        dictionary.remove(key);
    }
    return attributes;
}

bool KivoXmlWriter::convertDictionaryToXml(OrderedDictionary dictionary, const QString &key)
{
    if (key.isNull())
        return true;
    const QString attributes = getAttributes(dictionary);
    if (attributes.isEmpty())
        m_string.append(QStringLiteral("<%1>\n").arg(key));
    else
        m_string.append(QStringLiteral("<%1 %2>\n").arg(key, attributes));
    ++_indentCount;

    const bool singleText = !attributes.isEmpty() && dictionary.size() == 1 &&
                            isText(dictionary.value(dictionary.keys().first()));
    if (singleText) {
        putTabsWithIndexCount(_indentCount);
        m_string.append(escaped(dictionary.value(dictionary.keys().first()).toString()) +
                        QLatin1Char('\n'));
    } else {
        for (const QString &entryKey : dictionary.keys())
            processEachObject(dictionary.value(entryKey), entryKey);
    }

    --_indentCount;
    putTabsWithIndexCount(_indentCount);
    m_string.append(QStringLiteral("</%1>\n").arg(getEndElementKeyName(key)));
    return true;
}

bool KivoXmlWriter::convertArrayToXml(const QVariantList &array, const QString &key)
{
    const auto named = mLookupArrayName.constFind(key);
    const bool useLookup = named != mLookupArrayName.cend();
    if (key.isNull())
        return true;
    m_string.append(QStringLiteral("<%1>\n").arg(key));
    ++_indentCount;
    int counter = 0;
    for (const QVariant &item : array) {
        const QString itemName = useLookup ? *named : genericItemNameFormat.arg(counter);
        ++counter;
        processEachObject(item, itemName);
    }
    --_indentCount;
    putTabsWithIndexCount(_indentCount);
    m_string.append(QStringLiteral("</%1>\n").arg(getEndElementKeyName(key)));
    return true;
}

bool KivoXmlWriter::processEachObject(const QVariant &value, const QString &key)
{
    if (!value.isValid())
        return false;
    if (isText(value) && key.startsWith(kAttributePrefix))
        return true;
    if (const std::optional<OrderedDictionary> dictionary = dictionaryFrom(value)) {
        putTabsWithIndexCount(_indentCount);
        convertDictionaryToXml(*dictionary, key);
    } else if (const std::optional<QVariantList> array = arrayFrom(value)) {
        // Empty arrays have no element form; they write nothing at all.
        if (!array->isEmpty()) {
            putTabsWithIndexCount(_indentCount);
            convertArrayToXml(*array, key);
        }
    } else if (const std::optional<QString> text = textFrom(value)) {
        putTabsWithIndexCount(_indentCount);
        m_string.append(
            QStringLiteral("<%1>%2</%3>\n").arg(key, escaped(*text), getEndElementKeyName(key)));
    }
    return true;
}

} // namespace kivo
