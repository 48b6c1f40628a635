#include "OverlayCompositor.h"

#include "CustomerLog.h"
#include "platform/Log.h"
#include "util/JpegMemoryGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>

namespace kivo {

namespace {

// Photos and overlays above these are refused undecoded.
constexpr qint64 kMaxSourcePixels = 200'000'000;
constexpr qint64 kMaxOverlayPixels = 64'000'000;
// The photo is decoded at the size it is drawn; an extreme aspect ratio would
// make that size enormous, so such photos are left unframed.
constexpr qint64 kMaxDrawnPixels = 64'000'000;
constexpr int kAllocationLimitMB = 512;

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

QString OverlayCompositor::applyOverlayToSourceItem(const QString &source, const QString &dest,
                                                    QString *writeError)
{
    Q_UNUSED(dest);
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("unable to read the size of [%1]").arg(source));
        return {};
    }
    // Held until the photo is drawn.
    const JpegMemoryGuard memory(file);
    if (!memory.admitted()) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("[%1] left out: %2").arg(source, memory.error()));
        return {};
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMB);
    const QSize raw = reader.size();
    if (!raw.isValid() || raw.isEmpty() || qint64(raw.width()) * raw.height() > kMaxSourcePixels) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("unable to read the size of [%1]").arg(source));
        return {};
    }
    // The orientation tag decides landscape or portrait.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize photo = turned ? raw.transposed() : raw;

    QString overlayFolder;
    {
        std::lock_guard lock(m_mutex);
        overlayFolder = m_overlayFolder;
    }
    const QString overlayPath = QDir(overlayFolder).filePath(overlayFileName(photo));
    const QImage overlay = overlayImage(overlayPath);
    if (overlay.isNull())
        return {};

    const Geometry g = computeGeometry(photo, overlay.size());
    const QSize drawn(std::max(1, int(std::lround(g.drawnSize.width()))),
                      std::max(1, int(std::lround(g.drawnSize.height()))));
    if (qint64(drawn.width()) * drawn.height() > kMaxDrawnPixels) {
        logLine(lcCustomer(),
                logPrefix() + QStringLiteral("[%1] is too narrow to frame").arg(source));
        return {};
    }
    // Decode at the drawn size: the scaled size is given before the turn.
    reader.setScaledSize(turned ? drawn.transposed() : drawn);
    const QImage image = reader.read();
    if (image.isNull()) {
        logLine(lcCustomer(),
                logPrefix() +
                    QStringLiteral("unable to decode [%1]: %2").arg(source, reader.errorString()));
        return {};
    }

    QImage canvas(overlay.size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(1.0);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, image.size() != drawn);
        painter.drawImage(QRectF(g.origin, g.drawnSize), image);
        painter.drawImage(QPointF(0, 0), overlay);
    }
    return writeResult(canvas, writeError);
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
