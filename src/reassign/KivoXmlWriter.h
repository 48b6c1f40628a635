#pragma once

#include "OrderedDictionary.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace kivo {

// Turns nested dictionaries, arrays and texts into an XML document and writes
// it to a file. Conventions: a dictionary entry whose key begins with "@" is an
// attribute of the enclosing element; array items are named from
// mLookupArrayName (or item0, item1, ... per array); an element with
// attributes and a single text entry holds that text directly. Dictionaries
// are OrderedDictionary (insertion order) or QVariantMap (key order); arrays
// QVariantList or QStringList. Text and attribute values are escaped (& < >),
// and double quotes are removed from attribute values.
class KivoXmlWriter
{
public:
    static const QString XmlVersion1_0Header;
    static const QString genericItemNameFormat;

    KivoXmlWriter() = default;

    void setMLookupArrayName(const QHash<QString, QString> &lookup) { mLookupArrayName = lookup; }

    // Builds the document for {"mainXmlKeyName", "dictionary", "writeXmlPath"}
    // and writes it; failures are logged, the caller checks for the file.
    bool doStartConversion2(const QVariantMap &parameter);
    bool convertDictionaryToXml(OrderedDictionary dictionary, const QString &key);
    bool convertArrayToXml(const QVariantList &array, const QString &key);
    bool processEachObject(const QVariant &value, const QString &key);
    // Takes the "@" entries out of the dictionary and returns them as text.
    QString getAttributes(OrderedDictionary &dictionary);
    static QString getEndElementKeyName(const QString &key);
    bool putTabsWithIndexCount(qint64 count);
    const QString &mString() const { return m_string; }
    // Where the last conversion wrote its file.
    const QString &writtenPath() const { return m_writtenPath; }
    // Why the last conversion's file was not written; empty when it was.
    const QString &errorString() const { return m_error; }

    static std::optional<OrderedDictionary> dictionaryFrom(const QVariant &value);
    static std::optional<QVariantList> arrayFrom(const QVariant &value);

private:
    void writeFile(const QString &path);
    static QString defaultPath();

    QString m_string;
    QHash<QString, QString> mLookupArrayName;
    qint64 _indentCount = 0;
    QString m_writtenPath;
    QString m_error;
};

} // namespace kivo
