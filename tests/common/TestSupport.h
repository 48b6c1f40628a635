#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

namespace kivo::test {

// The test's private home folder (set by run-isolated.sh).
QString home();

// The whole content of a file; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Writes bytes to a file, creating missing parent folders.
bool writeFile(const QString &path, const QByteArray &bytes);

// Writes a solid-colour JPEG of the given size.
bool writeJpeg(const QString &path, int width, int height, QColor color = Qt::darkCyan,
               int quality = 90);

} // namespace kivo::test
