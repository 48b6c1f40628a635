#include "OverlayCompositor.h"

#include "CustomerLog.h"
#include "platform/HugePageBuffer.h"
#include "platform/Log.h"
#include "util/FileHelpers.h"
#include "util/JpegDecoder.h"
#include "util/JpegMemoryGuard.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace kivo {

namespace {

// Photos and overlays above these are refused undecoded.
constexpr qint64 kMaxSourcePixels = 200'000'000;
constexpr qint64 kMaxOverlayPixels = 64'000'000;
// The photo is decoded at the size it is drawn; an extreme aspect ratio would
// make that size enormous, so such photos are left unframed.
constexpr qint64 kMaxDrawnPixels = 64'000'000;
constexpr int kAllocationLimitMB = 512;
// JPEG files up to this size are read into memory whole and decoded there.
constexpr qint64 kMaxJpegFileBytes = 256LL << 20;

QString logPrefix()
{
    return QStringLiteral("Inside OverlayCompositor => applyOverlayToSourceItem...");
}

} // namespace

OverlayCompositor::Geometry OverlayCompositor::computeGeometry(QSize photo, QSize overlay)
{
    const int W = photo.width();
    const int H = photo.height();
    const float m = float(std::min(overlay.width(), overlay.height()));
    float w = 0.0f;
    float h = 0.0f;
    if (W > H) {
        h = m;
        w = m * (float(W) / float(H));
    } else {
        w = m / (4.0f / 3.0f);
        h = w * (float(std::max(W, H)) / float(std::min(W, H)));
    }
    Geometry g;
    g.drawnSize = QSizeF(double(w), double(h));
    g.origin = QPointF((double(overlay.width()) - double(w)) / 2.0,
                       (double(overlay.height()) - double(h)) / 2.0);
    return g;
}

QString OverlayCompositor::overlayFileName(QSize photo)
{
    return QString::fromLatin1(photo.height() > photo.width() ? portraitOverlayName
                                                              : landscapeOverlayName);
}

QString OverlayCompositor::defaultOverlayFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

OverlayCompositor::OverlayCompositor(QString overlayFolder, QString resultFolder)
    : m_overlayFolder(std::move(overlayFolder)), m_resultFolder(std::move(resultFolder))
{}

void OverlayCompositor::setOverlayFolder(const QString &folder)
{
    std::lock_guard lock(m_mutex);
    m_overlayFolder = folder;
}

void OverlayCompositor::setResultFolder(const QString &folder)
{
    std::lock_guard lock(m_mutex);
    m_resultFolder = folder;
}

// The decoded overlay at path, premultiplied for fast drawing; null when it is
// missing or cannot be decoded.
QImage OverlayCompositor::overlayImage(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    const int slot = path.endsWith(QLatin1String(portraitOverlayName)) ? 1 : 0;
    {
        std::lock_guard lock(m_mutex);
        const CachedOverlay &c = m_cache[slot];
        if (c.path == path && c.size == info.size() && c.modified == info.lastModified())
            return c.image;
    }
    QImageReader reader(path);
    reader.setAllocationLimit(kAllocationLimitMB);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxOverlayPixels) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("overlay [%1] has an unusable size").arg(path));
        return {};
    }
    QImage image = reader.read();
    if (image.isNull()) {
        logLine(lcCustomer(), logPrefix() + QStringLiteral("unable to decode overlay [%1]: %2")
                                                .arg(path, reader.errorString()));
        return {};
    }
    image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::lock_guard lock(m_mutex);
    m_cache[slot] = CachedOverlay{path, info.size(), info.lastModified(), image};
    return image;
}

// A photo as it is read. JPEG data is decoded from memory by libjpeg-turbo at
// the smallest DCT scale that covers the size it is drawn at, strictly, so the
// decode is also its validity test; other formats (and CMYK JPEGs) by Qt.
struct OverlayCompositor::Photo
{
    explicit Photo(const QString &path) : file(path) {}

    // Reads the stored size and the orientation tag; false when unreadable.
    bool readHeader()
    {
        if (file.peek(3) == QByteArray("\xFF\xD8\xFF", 3) && file.size() <= kMaxJpegFileBytes) {
            bytes = std::make_unique<HugePageBuffer>(file.size());
            const qint64 read =
                bytes->data() ? file.read(reinterpret_cast<char *>(bytes->data()), bytes->size())
                              : -1;
            jpegData = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes->data()),
                                               qsizetype(std::max<qint64>(read, 0)));
            if (jpeg.readHeader(jpegData) && !jpeg.isCmyk()) {
                stored = jpeg.size();
                QBuffer buffer(&jpegData);
                buffer.open(QIODevice::ReadOnly);
                QImageReader tags(&buffer, "jpeg");
                tags.setAutoTransform(true);
                transformation = tags.transformation();
                return true;
            }
            jpegData.clear();
            bytes.reset();
            file.seek(0);
        }
        reader = std::make_unique<QImageReader>(&file);
        reader->setAutoTransform(true);
        reader->setAllocationLimit(kAllocationLimitMB);
        stored = reader->size();
        transformation = reader->transformation();
        return stored.isValid();
    }
    bool turned() const { return transformation & QImageIOHandler::TransformationRotate90; }
    QSize upright() const { return turned() ? stored.transposed() : stored; }

    // The upright photo at the drawn size, or (JPEG) a little larger.
    QImage decode(QSize drawn)
    {
        const QSize wanted = turned() ? drawn.transposed() : drawn;
        if (!reader) {
            const QImage image = jpeg.decodeCovering(wanted);
            if (image.isNull() || transformation == QImageIOHandler::TransformationNone)
                return image;
            // As Qt's reader applies the tag: mirror first, then turn.
            const QImage mirrored =
                image.mirrored(transformation & QImageIOHandler::TransformationMirror,
                               transformation & QImageIOHandler::TransformationFlip);
            return turned() ? mirrored.transformed(QTransform().rotate(90)) : mirrored;
        }
        reader->setScaledSize(wanted);
        return reader->read();
    }

    QFile file;
    std::unique_ptr<HugePageBuffer> bytes;
    QByteArray jpegData; // over bytes
    JpegDecoder jpeg;
    std::unique_ptr<QImageReader> reader;
    QSize stored;
    QImageIOHandler::Transformations transformation;
};

QString OverlayCompositor::applyOverlayToSourceItem(const QString &source, const QString &dest,
                                                    QString *writeError, bool *incomplete)
{
    Q_UNUSED(dest);
    // Known once a strict decode succeeded or a validity test ran; asked when
    // this returns (after the memory guard below has ended) otherwise.
    std::optional<bool> complete;
    const auto tell = qScopeGuard([&] {
        if (incomplete)
            *incomplete = !(complete ? *complete : IsValidImageObject(source));
    });
    Photo photo(source);
    if (!photo.file.open(QIODevice::ReadOnly)) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("unable to read the size of [%1]").arg(source));
        return {};
    }
    // Held until the photo is drawn.
    const JpegMemoryGuard memory(photo.file);
    if (!memory.admitted()) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("[%1] left out: %2").arg(source, memory.error()));
        complete = false;
        return {};
    }
    const QSize raw = photo.readHeader() ? photo.stored : QSize();
    if (!raw.isValid() || raw.isEmpty() || qint64(raw.width()) * raw.height() > kMaxSourcePixels) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("unable to read the size of [%1]").arg(source));
        return {};
    }
    // Qt's decoders pass over some damage: test those photos first.
    if (photo.reader && incomplete && !*(complete = IsValidImageObject(source)))
        return {};
    const QImage canvas = framedCanvas(photo, source, &complete);
    return canvas.isNull() ? QString() : writeResult(canvas, writeError);
}

// The photo drawn into the middle of the overlay's canvas, the overlay on top.
QImage OverlayCompositor::framedCanvas(Photo &photo, const QString &source,
                                       std::optional<bool> *complete)
{
    QString overlayFolder;
    {
        std::lock_guard lock(m_mutex);
        overlayFolder = m_overlayFolder;
    }
    // The orientation tag decides landscape or portrait.
    const QString overlayPath = QDir(overlayFolder).filePath(overlayFileName(photo.upright()));
    const QImage overlay = overlayImage(overlayPath);
    if (overlay.isNull())
        return {};

    const Geometry g = computeGeometry(photo.upright(), overlay.size());
    const QSize drawn(std::max(1, int(std::lround(g.drawnSize.width()))),
                      std::max(1, int(std::lround(g.drawnSize.height()))));
    if (qint64(drawn.width()) * drawn.height() > kMaxDrawnPixels) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("[%1] is too narrow to frame").arg(source));
        return {};
    }
    const QImage image = photo.decode(drawn);
    // A JPEG that fails is told by the validity test the caller runs then.
    if (image.isNull() && photo.reader)
        logLine(lcCustomer(), logPrefix() + QStringLiteral("unable to decode [%1]: %2")
                                                .arg(source, photo.reader->errorString()));
    if (image.isNull())
        return {};
    if (!photo.reader)
        *complete = true;

    QImage canvas = HugePageBuffer::image(overlay.size(), QImage::Format_RGB32);
    if (canvas.isNull())
        canvas = QImage(overlay.size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, image.size() != drawn);
    painter.drawImage(QRectF(g.origin, g.drawnSize), image);
    painter.drawImage(QPointF(0, 0), overlay);
    return canvas;
}

QString OverlayCompositor::writeResult(const QImage &canvas, QString *writeError)
{
    QString folder;
    {
        std::lock_guard lock(m_mutex);
        folder = m_resultFolder.isEmpty() ? QDir::tempPath() : m_resultFolder;
    }
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".kivo-overlay-XXXXXX.part")));
    file.setAutoRemove(true);
    auto failed = [writeError](const QString &text) {
        if (writeError)
            *writeError = text;
        else
            logLine(lcCustomer(), logPrefix() + text);
        return QString();
    };
    if (!file.open())
        return failed(QStringLiteral("unable to create a result file in [%1]: %2")
                          .arg(folder, file.errorString()));
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(canvas) || !file.flush())
        return failed(QStringLiteral("unable to write [%1]: %2")
                          .arg(file.fileName(), file.error() != QFile::NoError
                                                    ? file.errorString()
                                                    : writer.errorString()));
    file.setAutoRemove(false);
    return file.fileName();
}

} // namespace kivo
