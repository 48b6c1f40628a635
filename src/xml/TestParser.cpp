#include "TestParser.h"

#include "KivoNSXmlParser.h"
#include "XmlLog.h"
#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace kivo {

namespace {
// The reader's event trace: every element of every description file at every
// scan of the console, so off unless asked for
// (QT_LOGGING_RULES="kivo.xml.trace.debug=true").
Q_LOGGING_CATEGORY(lcXmlTrace, "kivo.xml.trace", QtInfoMsg)
} // namespace

std::optional<QVariantMap> testParser(const QString &path)
{
    const QFileInfo info(path);
    // A FIFO or device would block or never end; only plain files are read.
    if (!info.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One byte past the bound is enough for the parser to refuse the file.
    const QByteArray data = file.read(KivoNSXmlParser::kMaxDocumentBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;

    KivoNSXmlParser parser(data);
    parser.setDoVerbose(lcXmlTrace().isDebugEnabled());
    parser.setRootKey(QStringLiteral("data"));
    if (!parser.parse())
        logLine(lcXml(), QStringLiteral("ParserError = %1").arg(parser.parserError()->description));
    return parser.mDictionary().value_or(QVariantMap());
}

} // namespace kivo
