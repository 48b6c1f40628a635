#pragma once

#include <QByteArray>
#include <QString>

namespace kivo {

// Replaces the file at path with bytes so that a crash at any moment leaves
// either the complete old file or the complete new one: the bytes go to a
// temporary file in the same folder, which is flushed to disk, renamed over
// path, and the folder is flushed too. The folder must exist. A new file gets
// the mode 0666 less the umask; a replaced file keeps its mode. On failure the
// old file is untouched, no temporary file is left behind and, when error is
// given, it receives a description.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace kivo
