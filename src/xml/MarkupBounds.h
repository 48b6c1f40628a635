#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kivo {

// A pass over a document's bytes before it is parsed, for markup whose
// parsing cost grows with the square of its count: the XML reader checks
// each attribute of a start tag against all the earlier ones, and each start
// tag against every declared attribute default. Linear in the document size.
class MarkupBounds
{
public:
    static constexpr int kMaxAttributesPerElement = 256;
    // Attribute-list declarations and the defaults they declare, together.
    static constexpr int kMaxAttributeDeclarations = 256;

    // Why the document is refused, or nothing when it keeps within the bounds.
    // UTF-16 and UTF-32 documents (by byte order mark or first character) are
    // scanned as text, anything else as bytes.
    static std::optional<QString> check(const QByteArray &data);
};

} // namespace kivo
