// The image validity test: a photo that is half copied, truncated or corrupt
// must fail, whatever its name, and a hostile file must not exhaust memory.
#include "FileHelpers.h"

#include "JpegDecoder.h"
#include "JpegMemoryGuard.h"
#include "UtilLog.h"
#include "platform/Log.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

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

// Decodes every scan of the JPEG at 1/8 scale; a decoder warning counts as a
// failure.
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
    JpegDecoder decoder;
    return decoder.readHeader(data) &&
           qint64(decoder.size().width()) * decoder.size().height() <= kMaxJpegPixels &&
           decoder.decodesAtEighth();
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
