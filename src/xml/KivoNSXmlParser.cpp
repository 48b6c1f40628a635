#include "KivoNSXmlParser.h"

#include "MarkupBounds.h"
#include "XmlLog.h"
#include "platform/Log.h"

#include <QStringDecoder>

namespace kivo {

namespace {
const QString kClassName = QStringLiteral("KivoNSXmlParser");
const QString kHtml = QStringLiteral("html");
const QString kValueKey = QStringLiteral("value");
// Enough for any entity a description file could legitimately use; entity
// declarations are refused anyway, this only bounds the built-in handling.
constexpr int kEntityExpansionLimit = 1024;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isArray(const QVariant &node)
{
    return node.typeId() == QMetaType::QVariantList;
}

bool isDictionary(const QVariant &node)
{
    return node.typeId() == QMetaType::QVariantMap;
}

// The container inside a QVariant, changed in place (no copy of its entries).
QVariantList &arrayIn(QVariant &node)
{
    return *static_cast<QVariantList *>(node.data());
}

QVariantMap &dictionaryIn(QVariant &node)
{
    return *static_cast<QVariantMap *>(node.data());
}

QString describe(const QVariant &node)
{
    if (isArray(node))
        return QStringLiteral("array[%1]").arg(node.toList().size());
    if (isDictionary(node))
        return QStringLiteral("dictionary{%1}").arg(node.toMap().size());
    return QStringLiteral("(nothing)");
}
} // namespace

std::optional<QString> removingPercentEncoding(const QString &text)
{
    if (!text.contains(QLatin1Char('%')))
        return text;
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out.append(in[i]);
            continue;
        }
        if (i + 2 >= in.size())
            return std::nullopt;
        const int high = hexDigit(in[i + 1]);
        const int low = hexDigit(in[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.append(char(high * 16 + low));
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString decoded = decoder.decode(out);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

KivoNSXmlParser::KivoNSXmlParser(const QByteArray &data)
    : m_data(data), itemNeedsArray{QStringLiteral("ids"), QStringLiteral("groupcodes")},
      itemNeedsDictionary{QStringLiteral("image"), QStringLiteral("response"),
                          QStringLiteral("subdictionary"), QStringLiteral("subdictionary2"),
                          QStringLiteral("data")},
      itemNeedsSpecialCare{QStringLiteral("image")}, rootKey(QStringLiteral("response"))
{
    mStack.append(QVariantMap());
}

std::optional<QVariantMap> KivoNSXmlParser::mDictionary() const
{
    if (!isDictionary(m_dictionary))
        return std::nullopt;
    return m_dictionary.toMap();
}

// The text is built only when verbose: the trace runs for every event.
template <typename Text> void KivoNSXmlParser::trace(const char *operation, Text &&text) const
{
    if (doVerbose)
        logVerbose(
            lcXml(),
            QStringLiteral("%1 => %2...%3").arg(kClassName, QLatin1String(operation), text()));
}

bool KivoNSXmlParser::parse()
{
    if (m_data.size() > kMaxDocumentBytes) {
        m_parserError = ParseError{
            int(QXmlStreamReader::CustomError),
            QStringLiteral("Document larger than %1 bytes refused").arg(kMaxDocumentBytes), 0, 0};
        parseErrorOccurred();
        return false;
    }
    // Checked before the reader sees the bytes: its own checks of such markup
    // take minutes on a file under the size bound.
    if (const std::optional<QString> refused = MarkupBounds::check(m_data)) {
        m_parserError = ParseError{int(QXmlStreamReader::CustomError), *refused, 0, 0};
        parseErrorOccurred();
        return false;
    }
    m_reader.clear();
    m_reader.addData(m_data);
    m_reader.setNamespaceProcessing(false);
    m_reader.setEntityExpansionLimit(kEntityExpansionLimit);
    bool reachedEnd = false;
    while (!m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            parserDidStartDocument();
            break;
        case QXmlStreamReader::DTD:
            // Internal entities are how "billion laughs" documents blow up;
            // description files never declare any.
            if (!m_reader.entityDeclarations().isEmpty())
                m_reader.raiseError(QStringLiteral("Entity declarations are not accepted"));
            break;
        case QXmlStreamReader::StartElement:
            if (m_openElements.size() >= kMaxDepth) {
                m_reader.raiseError(
                    QStringLiteral("Elements nested deeper than %1 levels").arg(kMaxDepth));
            } else {
                OpenElement element{m_reader.qualifiedName().toString(), QString()};
                element.key = element.name.isLower() ? element.name : element.name.toLower();
                m_openElements.append(element);
                didStartElement(element);
            }
            break;
        case QXmlStreamReader::Characters:
            foundCharacters(m_reader.text());
            break;
        case QXmlStreamReader::EndElement:
            // The reader has checked that the closing tag matches.
            if (!m_openElements.isEmpty())
                didEndElement(m_openElements.takeLast());
            break;
        case QXmlStreamReader::Comment:
            foundComment(m_reader.text());
            break;
        case QXmlStreamReader::EndDocument:
            reachedEnd = true;
            break;
        default:
            break;
        }
    }
    // addData() leaves the reader waiting for more input; the bytes given are
    // the whole document, so running out of them is an error too.
    if (m_reader.hasError() || !reachedEnd) {
        if (!m_reader.hasError())
            m_reader.raiseError(QStringLiteral("Premature end of document"));
        m_parserError = ParseError{int(m_reader.error()), m_reader.errorString(),
                                   m_reader.lineNumber(), m_reader.columnNumber()};
        parseErrorOccurred();
        return false;
    }
    parserDidEndDocument();
    return true;
}

void KivoNSXmlParser::parserDidStartDocument()
{
    trace("parserDidStartDocument", [&] { return QStringLiteral("start of document"); });
}

bool KivoNSXmlParser::isContainerName(const QString &lowerName) const
{
    return itemNeedsArray.contains(lowerName) || itemNeedsDictionary.contains(lowerName);
}

void KivoNSXmlParser::abortParsing(const QString &reason)
{
    m_reader.raiseError(reason);
}

void KivoNSXmlParser::didStartElement(const OpenElement &element)
{
    trace("didStartElement", [&] { return element.name; });
    if (element.key == kHtml) {
        logLine(lcXml(),
                QStringLiteral("%1 => didStartElement...This parser is not designed for HTML "
                               "documents, aborting")
                    .arg(kClassName));
        abortParsing(QStringLiteral("HTML documents are not supported"));
        return;
    }
    QVariant container;
    if (itemNeedsDictionary.contains(element.key)) {
        QVariantMap attributes;
        for (const QXmlStreamAttribute &attribute : m_reader.attributes())
            attributes.insert(attribute.qualifiedName().toString(), attribute.value().toString());
        container = attributes;
    } else if (itemNeedsArray.contains(element.key)) {
        container = QVariantList();
    }
    if (!container.isValid())
        return;
    if (curNode.isValid())
        pushOnStack(curNode);
    curNode = std::move(container);
    trace("didStartElement", [&] { return QStringLiteral("curNode = %1").arg(describe(curNode)); });
}

void KivoNSXmlParser::foundCharacters(QStringView string)
{
    if (string.isEmpty())
        return;
    m_text.append(string);
    m_hasText = true;
}

std::optional<QString> KivoNSXmlParser::cleanCurrentText()
{
    if (!m_hasText)
        return std::nullopt;
    std::optional<QString> clean = removingPercentEncoding(m_text.trimmed());
    if (!clean) {
        // Drop only this element's text: keeping it would spoil every
        // following value with the same undecodable escape.
        logLine(lcXml(),
                QStringLiteral("%1 => didEndElement...percent escapes do not decode, value "
                               "dropped [%2]")
                    .arg(kClassName, m_text));
        clearCurrentString();
    }
    return clean;
}

void KivoNSXmlParser::clearCurrentString()
{
    m_text.resize(0);
    m_hasText = false;
}

void KivoNSXmlParser::didEndElement(const OpenElement &element)
{
    const QString &elementName = element.name;
    trace("didEndElement", [&] { return elementName; });
    const std::optional<QString> clean = cleanCurrentText();
    if (!isContainerName(element.key)) {
        addToCurNodeWithData(clean, elementName);
        return;
    }
    if (clean) {
        // Indentation before a closing tag is the usual case and not worth a
        // line in the log; real text left over in a container is. The text
        // itself stays out of the line: it is stored under "value".
        if (!clean->isEmpty())
            logLine(lcXml(),
                    QStringLiteral("%1 => didEndElement...WARNING: node %2 ends with dangling data")
                        .arg(kClassName, elementName));
        addToCurNodeWithData(clean, kValueKey);
    }
    QVariant parent = popFromStack();
    addToParNode(parent, curNode, elementName);
    curNode = std::move(parent);
    trace("didEndElement", [&] { return QStringLiteral("curNode = %1").arg(describe(curNode)); });
}

void KivoNSXmlParser::parserDidEndDocument()
{
    m_dictionary = curNode;
    if (!rootKey.isNull() && isDictionary(m_dictionary)) {
        const QVariant entry = dictionaryIn(m_dictionary).value(rootKey);
        if (isDictionary(entry))
            m_dictionary = entry;
    }
    trace("parserDidEndDocument", [&] { return describe(m_dictionary); });
}

void KivoNSXmlParser::foundComment(QStringView comment)
{
    const QString rule(42, QLatin1Char('='));
    logLine(lcXml(), rule);
    logLine(lcXml(), comment.toString());
    logLine(lcXml(), rule);
}

void KivoNSXmlParser::parseErrorOccurred()
{
    const ParseError &error = *m_parserError;
    const QString operation = QStringLiteral("parseErrorOccurred");
    logLine(
        lcXml(),
        QStringLiteral("%1 => %2...parseError: %3").arg(kClassName, operation, error.description));
    const QString text = QStringLiteral("Error %1 Description: %2, Line: %3, Column: %4")
                             .arg(error.code)
                             .arg(error.description)
                             .arg(error.line)
                             .arg(error.column);
    logLine(lcXml(),
            QStringLiteral("%1 => %2...ERROR ERROR ERROR: %3").arg(kClassName, operation, text));
    clearCurrentString();
}

void KivoNSXmlParser::pushOnStack(const QVariant &container)
{
    mStack.prepend(container);
    trace("pushOnStack", [&] { return QStringLiteral("depth %1").arg(mStack.size()); });
}

QVariant KivoNSXmlParser::popFromStack()
{
    if (mStack.isEmpty())
        return QVariant();
    QVariant top = mStack.takeFirst();
    trace("popFromStack", [&] { return QStringLiteral("depth %1").arg(mStack.size()); });
    return top;
}

void KivoNSXmlParser::addToCurNodeWithData(const std::optional<QString> &data,
                                           const QString &elementName)
{
    if (!data)
        return;
    if (isArray(curNode) || isDictionary(curNode)) {
        if (isArray(curNode))
            arrayIn(curNode).append(*data);
        else
            dictionaryIn(curNode).insert(elementName, *data);
        trace("addToCurNodeWithData",
              [&] { return QStringLiteral("%1 = %2").arg(elementName, *data); });
    }
    clearCurrentString();
}

void KivoNSXmlParser::addToParNode(QVariant &parent, const QVariant &child,
                                   const QString &elementName)
{
    if (!child.isValid())
        return;
    if (isArray(parent)) {
        arrayIn(parent).append(child);
        return;
    }
    if (!isDictionary(parent))
        return;
    QVariantMap &entries = dictionaryIn(parent);
    if (!itemNeedsSpecialCare.contains(elementName.toLower())) {
        entries.insert(elementName, child);
        return;
    }
    const auto it = entries.find(elementName);
    if (it == entries.end()) {
        entries.insert(elementName, QVariantList{child});
        return;
    }
    if (isArray(*it)) {
        arrayIn(*it).append(child);
        return;
    }
    const QString error =
        QStringLiteral("%1 => addToParNode...ERROR: entry %2 is not an array, %2 dropped")
            .arg(kClassName, elementName);
    logLine(lcXml(), error);
    logLine(lcXml(), error);
}

} // namespace kivo
