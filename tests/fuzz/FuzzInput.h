#pragma once

// Shared by the libFuzzer targets (one per program): the log goes nowhere,
// since the code under test logs every error and the fuzzer would spend its
// time printing, and the input is viewed as a QByteArray without a copy.
#include "platform/Log.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace kivo {
void logLine(const QLoggingCategory &, const QString &) {}
void logVerbose(const QLoggingCategory &, const QString &) {}
} // namespace kivo

inline QByteArray fuzzInput(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}
