// libFuzzer target: feeds arbitrary bytes to the description-file parser the
// way the code-file reader does. Built by scripts/fuzz-xml.sh.
#include "FuzzInput.h"
#include "xml/KivoNSXmlParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzInput(data, size);
    kivo::KivoNSXmlParser parser(bytes);
    parser.setRootKey(QStringLiteral("data"));
    const bool ok = parser.parse();
    const std::optional<QVariantMap> result = parser.mDictionary();
    // A failed parse never leaves a result behind (a well-formed document
    // without any container has none either).
    if ((!ok && result) || ok == parser.hasParserError())
        __builtin_trap();
    kivo::removingPercentEncoding(QString::fromUtf8(bytes));
    return 0;
}
