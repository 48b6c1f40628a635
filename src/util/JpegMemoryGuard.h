#pragma once

#include <QIODevice>
#include <QString>

#include <optional>

namespace kivo {

// Admits one JPEG decode into a bounded share of memory, read from the file's
// header before the decode starts. A sequential JPEG is decoded a few rows at
// a time and needs no share. A progressive or arithmetic-coded one, or one
// whose first scan leaves components out, is held by the decoder as a whole
// array of coefficients (2 bytes each, whatever scale it is shown at): over
// kMaxBufferedBytes it is refused, else it waits (up to kWaitMs) for its share
// of a process-wide kBudgetBytes and gives it back when the guard ends.
// Anything that is not a JPEG is admitted as is.
class JpegMemoryGuard
{
public:
    static constexpr qint64 kMaxBufferedBytes = 256LL << 20;
    static constexpr qint64 kBudgetBytes = 384LL << 20;
    static constexpr int kWaitMs = 20000;

    // Reads the header from the device's start and seeks back there. The
    // caller logs a refusal: slides log theirs at a bounded rate.
    explicit JpegMemoryGuard(QIODevice &device);
    ~JpegMemoryGuard();
    JpegMemoryGuard(const JpegMemoryGuard &) = delete;
    JpegMemoryGuard &operator=(const JpegMemoryGuard &) = delete;

    bool admitted() const { return m_error.isEmpty(); }
    // Why the decode is refused; empty when admitted.
    const QString &error() const { return m_error; }

    // Bytes the decoder holds for the whole image; 0 for a sequential JPEG,
    // nothing when the device does not hold a readable JPEG header.
    static std::optional<qint64> bufferedBytes(QIODevice &device);

private:
    int m_heldMB = 0;
    QString m_error;
};

} // namespace kivo
