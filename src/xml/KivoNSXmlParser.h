#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QXmlStreamAttributes>
#include <QXmlStreamReader>

#include <optional>

namespace kivo {

// Reads a small XML document (a code's description file) into nested
// dictionaries, arrays and texts. Element names decide the shape: names in
// itemNeedsArray become arrays, names in itemNeedsDictionary dictionaries
// (holding the element's attributes), and dictionaries named in
// itemNeedsSpecialCare are always gathered into an array in their parent.
// Every other element stores its text in the nearest enclosing container.
//
// Untrusted input is bounded: documents over kMaxDocumentBytes, elements
// nested deeper than kMaxDepth, documents declaring entities and markup over
// MarkupBounds are refused as parse errors, so no file can exhaust time,
// memory or the call stack.
class KivoNSXmlParser
{
public:
    static constexpr qsizetype kMaxDocumentBytes = 1024 * 1024;
    static constexpr int kMaxDepth = 256;

    struct ParseError
    {
        int code = 0;
        QString description;
        qint64 line = 0;
        qint64 column = 0;
    };

    explicit KivoNSXmlParser(const QByteArray &data);

    // Runs the whole document; false on a parse error (mDictionary then stays
    // empty). A parser serves one parse.
    bool parse();
    bool hasParserError() const { return m_parserError.has_value(); }
    std::optional<ParseError> parserError() const { return m_parserError; }

    // The result: set at the end of a well-formed document.
    std::optional<QVariantMap> mDictionary() const;

    void setItemNeedsArray(const QSet<QString> &names) { itemNeedsArray = names; }
    // A null text means no root key: the document root dictionary is the result.
    void setRootKey(const QString &key) { rootKey = key; }
    void setDoVerbose(bool verbose) { doVerbose = verbose; }

    void pushOnStack(const QVariant &container);
    QVariant popFromStack();
    void addToCurNodeWithData(const std::optional<QString> &data, const QString &elementName);
    // Attaches child to parent, which is changed in place.
    void addToParNode(QVariant &parent, const QVariant &child, const QString &elementName);

private:
    void parserDidStartDocument();
    struct OpenElement
    {
        QString name;
        QString key; // the name in lower case
    };

    void didStartElement(const OpenElement &element);
    void foundCharacters(QStringView string);
    void didEndElement(const OpenElement &element);
    void clearCurrentString();
    void parserDidEndDocument();
    void foundComment(QStringView comment);
    void parseErrorOccurred();
    void abortParsing(const QString &reason);
    std::optional<QString> cleanCurrentText();
    bool isContainerName(const QString &lowerName) const;
    template <typename Text> void trace(const char *operation, Text &&text) const;

    QByteArray m_data;
    QXmlStreamReader m_reader;
    std::optional<ParseError> m_parserError;
    QList<OpenElement> m_openElements;

    QVariant m_dictionary;
    // The text collected since the last value was stored; the buffer is kept
    // between values, so collecting text does not allocate for every piece.
    QString m_text;
    bool m_hasText = false;
    // Containers are QVariantMap or QVariantList values; an invalid QVariant
    // is nothing.
    QList<QVariant> mStack;
    QVariant curNode;
    QSet<QString> itemNeedsArray;
    QSet<QString> itemNeedsDictionary;
    QSet<QString> itemNeedsSpecialCare;
    QString rootKey;
    bool doVerbose = false;
};

// Decodes %XX escapes as UTF-8 bytes; nothing when a percent sign is not
// followed by two hexadecimal digits or the bytes are not valid UTF-8.
std::optional<QString> removingPercentEncoding(const QString &text);

} // namespace kivo
