#include "TestParser.h"

#include "KivoNSXmlParser.h"
#include "XmlLog.h"
#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>

namespace kivo {

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
    parser.setRootKey(QStringLiteral("data"));
    if (!parser.parse())
        logLine(lcXml(), QStringLiteral("ParserError = %1").arg(parser.parserError()->description));
    return parser.mDictionary().value_or(QVariantMap());
}

} // namespace kivo
