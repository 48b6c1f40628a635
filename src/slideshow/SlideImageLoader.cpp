#include "SlideImageLoader.h"

#include "slideshow/SlideshowView.h"

#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace kivo {

namespace {

// A file that notes when its reader asks for bytes past its end. Qt's JPEG
// reader pads a truncated file with an end marker and returns a grey-filled
// image; a complete file is read up to its end marker and no further.
class EndWatchingFile : public QFile
{
public:
    using QFile::QFile;
    bool readPastEnd() const { return mReadPastEnd; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = QFile::readData(data, maxSize);
        if (n == 0 && maxSize > 0)
            mReadPastEnd = true;
        return n;
    }

private:
    bool mReadPastEnd = false;
};

QImage fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return QImage();
}

struct LoadResult
{
    QImage image;
    QString error;
};

} // namespace

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
    const QSize fitted = SlideshowView::fittedRect(upright, target).size();
    if (fitted.isEmpty())
        return fail(error, QStringLiteral("nothing to show"));
    reader.setScaledSize(quarterTurn ? fitted.transposed() : fitted);

    QImage image = reader.read();
    if (image.isNull())
        return fail(error, reader.errorString());
    if (file.readPastEnd())
        return fail(error, QStringLiteral("truncated file"));

    if (image.size() != fitted)
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage::Format fast =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != fast)
        image.convertTo(fast);
    return image;
}

void SlideImageLoader::loadAsync(QThreadPool *pool, const QString &path, QSize target,
                                 QObject *context, Delivery deliver)
{
    // The watcher lives on the context's thread and dies with it; Qt then
    // drops its pending notification, so a late result never reaches freed
    // memory. The worker itself touches nothing but values.
    auto *watcher = new QFutureWatcher<LoadResult>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, deliver = std::move(deliver)] {
                         const LoadResult result = watcher->result();
                         watcher->deleteLater();
                         deliver(result.image, result.error);
                     });
    watcher->setFuture(QtConcurrent::run(pool, [path, target] {
        LoadResult result;
        result.image = loadScaledToFit(path, target, &result.error);
        return result;
    }));
}

} // namespace kivo
