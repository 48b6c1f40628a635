#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace kivo {

// Reads a code's description file into a dictionary whose top-level entries
// the caller may add to and replace. Nothing when the file is missing or
// cannot be read (or is not a regular file); an empty dictionary when it is
// not well-formed XML, is an HTML document or exceeds the parser's bounds.
std::optional<QVariantMap> testParser(const QString &path);

} // namespace kivo
