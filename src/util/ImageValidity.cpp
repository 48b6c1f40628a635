// The image validity test: a photo that is half copied, truncated or corrupt
// must fail, whatever its name, and a hostile file must not exhaust memory.
#include "FileHelpers.h"

#include "JpegMemoryGuard.h"
#include "UtilLog.h"
#include "platform/Log.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <turbojpeg.h>

#include <memory>
#include <sys/stat.h>

namespace kivo {

namespace {

// Camera photos stay far below these; anything larger is refused undecoded.
constexpr qint64 kMaxJpegPixels = 150'000'000;
constexpr qint64 kMaxOtherPixels = 100'000'000;
constexpr qint64 kMaxJpegFileBytes = 256LL << 20;

bool looksLikeJpeg(const QByteArray &head)
{
    return head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 &&
           uchar(head[2]) == 0xFF;
}

struct TjDeleter
{
    void operator()(void *handle) const { tjDestroy(handle); }
};

// Decodes every scan of the JPEG at 1/8 scale; a decoder warning (premature
// end of data, corrupt entropy-coded data) counts as a failure.
bool jpegDecodes(const QByteArray &data, const QString &path)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const JpegMemoryGuard memory(buffer);
    if (!memory.admitted()) {
        logLine(lcUtil(), QStringLiteral("NSLog IsValidImageObject => [%1] left out: %2")
                              .arg(path, memory.error()));
        return false;
    }
    std::unique_ptr<void, TjDeleter> handle(tjInitDecompress());
    if (!handle)
        return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), bytes, size, &width, &height, &subsampling,
                            &colorspace) != 0)
        return false;
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxJpegPixels)
        return false;

    const tjscalingfactor eighth{1, 8};
    const int scaledWidth = TJSCALED(width, eighth);
    const int scaledHeight = TJSCALED(height, eighth);
    // Grey output skips the chroma transforms; CMYK cannot be turned into grey.
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const int pixelFormat = cmyk ? TJPF_CMYK : TJPF_GRAY;
    const size_t pixelBytes = size_t(tjPixelSize[pixelFormat]);
    std::unique_ptr<unsigned char[]> out(
        new unsigned char[size_t(scaledWidth) * size_t(scaledHeight) * pixelBytes]);
    const int rc =
        tjDecompress2(handle.get(), bytes, size, out.get(), scaledWidth, 0, scaledHeight,
                      pixelFormat, TJFLAG_STOPONWARNING | TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE);
    return rc == 0 && tjGetErrorCode(handle.get()) != TJERR_WARNING;
}

bool otherImageDecodes(QFile *file)
{
    file->seek(0);
    QImageReader reader(file);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxOtherPixels)
        return false;
    return !reader.read().isNull();
}

} // namespace

bool IsValidImageObject(const QString &path)
{
    if (path.isEmpty()) {
        logLine(lcUtil(), QStringLiteral("NSLog IsValidImageObject => Passed a nil objectPath!!"));
        return false;
    }
    QFile file(path);
    bool valid = false;
    struct stat st
    {};
    // Regular files only: opening a named pipe would block the caller for good.
    const bool regular =
        ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
    if (regular && file.open(QIODevice::ReadOnly)) {
        if (looksLikeJpeg(file.peek(3))) {
            valid = file.size() <= kMaxJpegFileBytes && jpegDecodes(file.readAll(), path);
        } else {
            valid = otherImageDecodes(&file);
        }
    }
    if (!valid)
        logLine(
            lcUtil(),
            QStringLiteral("NSLog IsValidImageObject => NOT a valid image at [%1]?????").arg(path));
    return valid;
}

} // namespace kivo
