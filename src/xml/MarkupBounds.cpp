#include "MarkupBounds.h"

#include <QStringConverter>
#include <QStringDecoder>
#include <QStringView>

#include <algorithm>
#include <string_view>

namespace kivo {

namespace {

template <typename Unit> class Scanner
{
public:
    Scanner(const Unit *units, qsizetype size) : m_p(units), m_n(size) {}

    std::optional<QString> run()
    {
        while (m_i < m_n) {
            if (m_p[m_i] != Unit('<')) {
                ++m_i;
                continue;
            }
            if (skipPast("<!--", "-->") || skipPast("<![CDATA[", "]]>") || skipPast("<?", "?>"))
                continue;
            if (startsWith("<!ATTLIST")) {
                m_i += 9;
                m_declarations += 1 + countUntilClose('#');
                if (m_declarations > MarkupBounds::kMaxAttributeDeclarations)
                    return QStringLiteral("More than %1 attribute declarations refused")
                        .arg(MarkupBounds::kMaxAttributeDeclarations);
            } else if (startsWith("<!") || startsWith("</")) {
                // A DOCTYPE's internal subset is scanned on: its
                // declarations are found one by one.
                m_i += 2;
            } else {
                ++m_i;
                if (countUntilClose('=') > MarkupBounds::kMaxAttributesPerElement)
                    return QStringLiteral("Element with more than %1 attributes refused")
                        .arg(MarkupBounds::kMaxAttributesPerElement);
            }
        }
        return std::nullopt;
    }

private:
    bool startsWith(std::string_view text) const
    {
        if (m_n - m_i < qsizetype(text.size()))
            return false;
        for (size_t k = 0; k < text.size(); ++k)
            if (m_p[m_i + qsizetype(k)] != Unit(text[k]))
                return false;
        return true;
    }

    bool skipPast(std::string_view open, std::string_view close)
    {
        if (!startsWith(open))
            return false;
        m_i += qsizetype(open.size());
        while (m_i < m_n && !startsWith(close))
            ++m_i;
        m_i += qsizetype(close.size());
        return true;
    }

    // Moves past the '>' that closes the markup and counts the marks outside
    // quotes: '=' for the attributes of a start tag, '#' and each quoted
    // literal for the defaults of a declaration. Stops counting past the bound.
    int countUntilClose(char mark)
    {
        constexpr int kEnough = 1 + std::max(MarkupBounds::kMaxAttributesPerElement,
                                             MarkupBounds::kMaxAttributeDeclarations);
        int count = 0;
        Unit quote = 0;
        for (; m_i < m_n && count < kEnough; ++m_i) {
            const Unit c = m_p[m_i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == Unit('"') || c == Unit('\'')) {
                quote = c;
                count += mark == '#' ? 1 : 0;
            } else if (c == Unit(mark)) {
                ++count;
            } else if (c == Unit('>')) {
                ++m_i;
                break;
            }
        }
        return count;
    }

    const Unit *m_p;
    qsizetype m_n;
    qsizetype m_i = 0;
    int m_declarations = 0;
};

bool isWide(QStringConverter::Encoding encoding)
{
    switch (encoding) {
    case QStringConverter::Utf16:
    case QStringConverter::Utf16LE:
    case QStringConverter::Utf16BE:
    case QStringConverter::Utf32:
    case QStringConverter::Utf32LE:
    case QStringConverter::Utf32BE:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<QString> MarkupBounds::check(const QByteArray &data)
{
    const std::optional<QStringConverter::Encoding> encoding =
        QStringConverter::encodingForData(data, u'<');
    if (encoding && isWide(*encoding)) {
        QStringDecoder decoder(*encoding);
        const QString text = decoder.decode(data);
        return Scanner<char16_t>(reinterpret_cast<const char16_t *>(text.utf16()), text.size())
            .run();
    }
    return Scanner<char>(data.constData(), data.size()).run();
}

} // namespace kivo
