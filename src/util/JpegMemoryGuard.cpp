#include "JpegMemoryGuard.h"

#include <QSemaphore>

#include <algorithm>
#include <vector>

namespace kivo {

namespace {

constexpr int kMaxSegments = 4096;

QSemaphore &budget()
{
    static QSemaphore megabytes(int(JpegMemoryGuard::kBudgetBytes >> 20));
    return megabytes;
}

struct Frame
{
    int width = 0;
    int height = 0;
    bool buffered = false; // progressive or arithmetic-coded
    std::vector<std::pair<int, int>> sampling;
};

int be16(const QByteArray &b, int at)
{
    return quint8(b.at(at)) << 8 | quint8(b.at(at + 1));
}

// Coefficient blocks of each component, padded to whole MCUs, 64 of 2 bytes.
qint64 coefficientBytes(const Frame &frame)
{
    int maxH = 1, maxV = 1;
    for (const auto &[h, v] : frame.sampling) {
        maxH = std::max(maxH, h);
        maxV = std::max(maxV, v);
    }
    const qint64 mcusWide = (frame.width + 8LL * maxH - 1) / (8LL * maxH);
    const qint64 mcusHigh = (frame.height + 8LL * maxV - 1) / (8LL * maxV);
    qint64 blocks = 0;
    for (const auto &[h, v] : frame.sampling)
        blocks += mcusWide * h * mcusHigh * v;
    return blocks * 64 * 2;
}

bool isFrameMarker(int marker)
{
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the marker segments up to the first scan.
std::optional<qint64> readHeader(QIODevice &device)
{
    if (device.read(2) != QByteArray("\xFF\xD8", 2))
        return std::nullopt;
    std::optional<Frame> frame;
    for (int segment = 0; segment < kMaxSegments; ++segment) {
        const QByteArray head = device.read(4);
        if (head.size() < 4 || quint8(head.at(0)) != 0xFF)
            return std::nullopt;
        const int marker = quint8(head.at(1));
        // A fill byte, or a marker without a length: read on after it.
        if (marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            device.seek(device.pos() - (marker == 0xFF ? 3 : 2));
            continue;
        }
        const int length = be16(head, 2);
        if (length < 2)
            return std::nullopt;
        if (!isFrameMarker(marker) && marker != 0xDA) {
            if (!device.seek(device.pos() + length - 2))
                return std::nullopt;
            continue;
        }
        const QByteArray body = device.read(length - 2);
        if (body.size() < length - 2)
            return std::nullopt;
        if (marker == 0xDA) {
            if (!frame || body.isEmpty())
                return std::nullopt;
            const bool allInFirstScan = quint8(body.at(0)) >= int(frame->sampling.size());
            return frame->buffered || !allInFirstScan ? coefficientBytes(*frame) : 0;
        }
        if (body.size() < 6)
            return std::nullopt;
        Frame f;
        f.height = be16(body, 1);
        f.width = be16(body, 3);
        // SOF2, SOF6, SOF10, SOF14 progressive; SOF9 and up arithmetic.
        f.buffered = (marker & 0x3) == 2 || marker >= 0xC9;
        const int components = quint8(body.at(5));
        if (components < 1 || body.size() < 6 + 3 * components)
            return std::nullopt;
        for (int c = 0; c < components; ++c) {
            const int factors = quint8(body.at(6 + 3 * c + 1));
            f.sampling.emplace_back(std::clamp(factors >> 4, 1, 4), std::clamp(factors & 15, 1, 4));
        }
        frame = std::move(f);
    }
    return std::nullopt;
}

} // namespace

std::optional<qint64> JpegMemoryGuard::bufferedBytes(QIODevice &device)
{
    const qint64 start = device.pos();
    const std::optional<qint64> bytes = readHeader(device);
    device.seek(start);
    return bytes;
}

JpegMemoryGuard::JpegMemoryGuard(QIODevice &device)
{
    const qint64 bytes = bufferedBytes(device).value_or(0);
    if (bytes == 0)
        return;
    const int megabytes = int((bytes + (1 << 20) - 1) >> 20);
    if (bytes > kMaxBufferedBytes)
        m_error = QStringLiteral("needs %1 MB to decode, over the %2 MB memory bound")
                      .arg(megabytes)
                      .arg(kMaxBufferedBytes >> 20);
    else if (!budget().tryAcquire(megabytes, kWaitMs))
        m_error = QStringLiteral("needs %1 MB to decode, memory budget busy").arg(megabytes);
    else
        m_heldMB = megabytes;
}

JpegMemoryGuard::~JpegMemoryGuard()
{
    if (m_heldMB > 0)
        budget().release(m_heldMB);
}

} // namespace kivo
