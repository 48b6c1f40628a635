#pragma once

#include <QString>

namespace kivo {

// A customer code as it comes in from outside: the scanner's typing, the
// previewer's announcement on the bus, the operator's choice. Every path
// cleans a code the same way and refuses the same codes, before it forms a
// path or names the code in the log.
class CustomerCode
{
public:
    // The parent application's codes are a dozen characters at most. A code
    // names a folder and goes into log lines on every scan: a longer one is
    // noise or an attack, and unbounded it would fill the log disk.
    static constexpr qsizetype kMaxLength = 64;

    // Without zero-width and bidi control characters (U+200B-U+200F,
    // U+202A-U+202E, U+2066-U+2069, U+FEFF), which would make two codes that
    // look alike differ, or a code show as another in the log.
    static QString withoutInvisibles(const QString &text);
    // withoutInvisibles, then white space and line ends trimmed.
    static QString clean(const QString &text);

    // Why a code is refused, for the log; empty when it is acceptable. A code
    // is refused when it is empty or blank, longer than kMaxLength, ".",
    // "..", or holds "/", a NUL or another control character.
    static QString refusal(const QString &code);

    // The log line's part for a refused code: "refused code [<cut text>]: <why>".
    static QString refusedText(const QString &code, const QString &why);
};

} // namespace kivo
