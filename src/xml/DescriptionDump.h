#pragma once

#include <QString>

namespace kivo {

// Support command: prints, as indented JSON on standard output, the dictionary
// the console reads from a description file ({} for a malformed file).
// Returns the process exit code: 0, or 1 when the file is missing or unreadable
// (the reason then goes to standard error).
int dumpDescription(const QString &path);

} // namespace kivo
