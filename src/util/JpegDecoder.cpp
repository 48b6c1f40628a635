#include "JpegDecoder.h"

#include "platform/HugePageBuffer.h"

#include <turbojpeg.h>

#include <QSysInfo>

namespace kivo {

namespace {

void destroy(void *handle)
{
    if (handle)
        tjDestroy(handle);
}

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

} // namespace

JpegDecoder::JpegDecoder() : m_handle(tjInitDecompress(), destroy) {}

JpegDecoder::~JpegDecoder() = default;

bool JpegDecoder::readHeader(const QByteArray &data)
{
    m_data = &data;
    m_size = QSize();
    int width = 0, height = 0, subsampling = 0;
    if (!m_handle || tjDecompressHeader3(m_handle.get(), bytes(data), (unsigned long)data.size(),
                                         &width, &height, &subsampling, &m_colorspace) != 0)
        return false;
    if (width <= 0 || height <= 0)
        return false;
    m_size = QSize(width, height);
    return true;
}

bool JpegDecoder::isCmyk() const
{
    return m_colorspace == TJCS_CMYK || m_colorspace == TJCS_YCCK;
}

QSize JpegDecoder::scaledSizeCovering(QSize wanted) const
{
    int count = 0;
    const tjscalingfactor *factors = tjGetScalingFactors(&count);
    QSize best = m_size;
    for (int i = 0; factors && i < count; ++i) {
        const QSize scaled(TJSCALED(m_size.width(), factors[i]),
                           TJSCALED(m_size.height(), factors[i]));
        if (scaled.width() >= wanted.width() && scaled.height() >= wanted.height() &&
            qint64(scaled.width()) * scaled.height() < qint64(best.width()) * best.height())
            best = scaled;
    }
    return best;
}

QImage JpegDecoder::decodeCovering(QSize wanted)
{
    if (m_size.isEmpty() || isCmyk())
        return {};
    const QSize scaled = scaledSizeCovering(wanted);
    QImage image = HugePageBuffer::image(scaled, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    // Format_RGB32 holds 0xffRRGGBB words: B, G, R, A bytes on a little-endian machine.
    const int format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRA : TJPF_ARGB;
    if (!decodeInto(image.bits(), scaled, int(image.bytesPerLine()), format))
        return {};
    return image;
}

bool JpegDecoder::decodesAtEighth()
{
    if (m_size.isEmpty())
        return false;
    const tjscalingfactor eighth{1, 8};
    const QSize scaled(TJSCALED(m_size.width(), eighth), TJSCALED(m_size.height(), eighth));
    // Grey output skips the chroma transforms; CMYK cannot be turned into grey.
    const int format = isCmyk() ? TJPF_CMYK : TJPF_GRAY;
    const int pitch = scaled.width() * tjPixelSize[format];
    const std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(pitch) * scaled.height()]);
    return decodeInto(out.get(), scaled, pitch, format);
}

bool JpegDecoder::decodeInto(unsigned char *out, QSize scaled, int pitch, int pixelFormat)
{
    const int rc = tjDecompress2(m_handle.get(), bytes(*m_data), (unsigned long)m_data->size(), out,
                                 scaled.width(), pitch, scaled.height(), pixelFormat,
                                 TJFLAG_STOPONWARNING | TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE);
    return rc == 0 && tjGetErrorCode(m_handle.get()) != TJERR_WARNING;
}

} // namespace kivo
