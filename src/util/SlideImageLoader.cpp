#include "SlideImageLoader.h"

#include "JpegMemoryGuard.h"
#include "platform/HugePageBuffer.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace kivo {

namespace {

// A file that notes when its reader asks for bytes past its end. Qt's JPEG
// reader pads a truncated file with an end marker and returns a grey-filled
// image; a complete file is read up to its end marker and no further.
class EndWatchingFile : public QFile
{
public:
    using QFile::QFile;
    bool readPastEnd() const { return m_readPastEnd; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = QFile::readData(data, maxSize);
        if (n == 0 && maxSize > 0)
            m_readPastEnd = true;
        return n;
    }

private:
    bool m_readPastEnd = false;
};

// Bilinear, into memory of its own: tens of megabytes at 4K, freshly mapped
// for each slide.
QImage enlarged(const QImage &image, QSize size)
{
    QImage out = HugePageBuffer::image(
        size, image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (out.isNull())
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.hasAlphaChannel())
        out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    return out;
}

QImage fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return QImage();
}

} // namespace

QRectF SlideImageLoader::computeMaxRectForImage(QSizeF image, QRectF rect)
{
    const qreal w = image.width();
    const qreal h = image.height();
    const qreal W = rect.width();
    const qreal H = rect.height();
    // An empty image or view has nothing to fit (and would divide by zero).
    if (!(w > 0 && h > 0 && W > 0 && H > 0))
        return QRectF(0, 0, 0, 0);

    QRectF result(0, 0, W, H);
    const bool fitToHeight = w > h ? !(w / h > W / H) : h / w > H / W;
    if (fitToHeight)
        result.setWidth(H * w / h);
    else
        result.setHeight(W * h / w);
    result.moveTo((W - result.width()) / 2, (H - result.height()) / 2);
    return result;
}

QRect SlideImageLoader::fittedRect(QSize image, QSize view)
{
    return computeMaxRectForImage(QSizeF(image), QRectF(QPointF(0, 0), QSizeF(view))).toRect();
}

QImage SlideImageLoader::loadScaledToFit(const QString &path, QSize target, QString *error)
{
    if (target.isEmpty())
        return fail(error, QStringLiteral("empty target size"));
    EndWatchingFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(error, file.errorString());

    // The limit is process-wide; set it once, before the first reader here.
    static const bool limited = [] {
        QImageReader::setAllocationLimit(kAllocationLimitMB);
        return true;
    }();
    Q_UNUSED(limited);

    const JpegMemoryGuard memory(file);
    if (!memory.admitted())
        return fail(error, memory.error());
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return fail(error, reader.errorString());
    if (qint64(stored.width()) * stored.height() > kMaxSourcePixels)
        return fail(
            error,
            QStringLiteral("image too large: %1 x %2").arg(stored.width()).arg(stored.height()));

    // Scaling happens before the orientation is applied: fit the upright
    // size, then ask the decoder for the stored orientation of that size.
    const bool quarterTurn =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize upright = quarterTurn ? stored.transposed() : stored;
    const QSize fitted = fittedRect(upright, target).size();
    if (fitted.isEmpty())
        return fail(error, QStringLiteral("nothing to show"));
    // A photo shown larger than it is (a framed copy on a 4K screen) is read
    // as it is and enlarged here.
    const bool enlarge = fitted.width() > upright.width() || fitted.height() > upright.height();
    if (!enlarge)
        reader.setScaledSize(quarterTurn ? fitted.transposed() : fitted);

    QImage image = reader.read();
    if (image.isNull())
        return fail(error, reader.errorString());
    if (file.readPastEnd())
        return fail(error, QStringLiteral("truncated file"));

    if (image.size() != fitted)
        image = enlarge ? enlarged(image, fitted)
                        : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage::Format fast =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != fast)
        image.convertTo(fast);
    return image;
}

} // namespace kivo
