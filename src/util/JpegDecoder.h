#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>

namespace kivo {

// A strict libjpeg-turbo decoder for JPEG data held in memory: any decoder
// warning (premature end of data, corrupt entropy-coded data) fails the
// decode, so a decode that succeeds doubles as the image validity test.
// Decodes at the smallest DCT scale (n/8) that still covers a wanted size,
// which skips most of the work for a photo shown far below its size.
class JpegDecoder
{
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder &) = delete;
    JpegDecoder &operator=(const JpegDecoder &) = delete;

    // Reads the header of data (kept by reference: data must outlive the
    // decoder's use of it); false when it is not a JPEG the decoder reads.
    bool readHeader(const QByteArray &data);
    // The stored size, before any orientation tag.
    QSize size() const { return m_size; }
    // CMYK and YCCK data decode to CMYK only.
    bool isCmyk() const;

    // The smallest size the decoder gives at a DCT scale that is at least
    // `wanted` in both directions; the stored size when none is.
    QSize scaledSizeCovering(QSize wanted) const;
    // Decodes at that scale into a Format_RGB32 image; null on any error or
    // warning. Not for CMYK data.
    QImage decodeCovering(QSize wanted);
    // Decodes the whole image at 1/8 scale into one channel (grey, or CMYK
    // for CMYK data) and drops it: the cheapest complete decode.
    bool decodesAtEighth();

private:
    bool decodeInto(unsigned char *out, QSize scaled, int pitch, int pixelFormat);

    std::unique_ptr<void, void (*)(void *)> m_handle;
    const QByteArray *m_data = nullptr;
    QSize m_size;
    int m_colorspace = -1;
};

} // namespace kivo
