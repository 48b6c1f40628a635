#pragma once

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <QDateTime>
#include <mutex>
#include <optional>

namespace kivo {

// Frames a customer's photo with the venue's overlay: the photo is scaled into
// the centre of a canvas the size of the overlay, the overlay is drawn on top
// and the result is written as a JPEG (quality 90) to a new private temporary
// file, whose path is handed back for the caller to rename into place.
//
// The overlay is "Slideshow_PRT.png" for a portrait photo (height greater than
// width after the camera's orientation tag is applied), else "Slideshow_LS.png",
// looked for in the overlay folder (the user's desktop folder by default).
// Safe to call from several threads at once.
class OverlayCompositor
{
public:
    static constexpr const char *landscapeOverlayName = "Slideshow_LS.png";
    static constexpr const char *portraitOverlayName = "Slideshow_PRT.png";
    static constexpr int jpegQuality = 90;

    // Where and how large the photo is drawn on the canvas.
    struct Geometry
    {
        QSizeF drawnSize; // computed in single precision
        QPointF origin;   // computed in double precision
    };

    // Photo of (oriented) size `photo` on an overlay canvas of size `overlay`.
    static Geometry computeGeometry(QSize photo, QSize overlay);

    // The overlay file name for a photo of the given oriented size.
    static QString overlayFileName(QSize photo);

    // The user's desktop folder.
    static QString defaultOverlayFolder();

    // `resultFolder` receives the temporary result files; empty means the
    // process's temporary folder. Results are hidden ".kivo-overlay-*.part"
    // files created exclusively with mode 0600.
    explicit OverlayCompositor(QString overlayFolder = defaultOverlayFolder(),
                               QString resultFolder = QString());

    void setOverlayFolder(const QString &folder);
    void setResultFolder(const QString &folder);

    // Composites the photo at `source` with the overlay of its orientation.
    // Gives the path of the new result file, or an empty string when no
    // overlay applies (overlay missing or undecodable, photo undecodable, a
    // failed write); nothing is left behind then. `dest`, the planned copy
    // path, is not used. A failed write is told in *writeError when given,
    // else logged. The photo's decode is also its validity test: a photo that
    // is not a complete image (half copied, cut short, corrupt) sets
    // *incomplete when given, with or without an overlay.
    QString applyOverlayToSourceItem(const QString &source, const QString &dest = QString(),
                                     QString *writeError = nullptr, bool *incomplete = nullptr);

private:
    struct Photo;
    QImage overlayImage(const QString &path);
    QImage framedCanvas(Photo &photo, const QString &source, std::optional<bool> *complete);
    QString writeResult(const QImage &canvas, QString *writeError);

    QString m_overlayFolder;
    QString m_resultFolder;

    // The last decoded overlay of each orientation, reused while its file is
    // unchanged (same size and modification time).
    struct CachedOverlay
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        QImage image;
    };
    std::mutex m_mutex;
    CachedOverlay m_cache[2];
};

} // namespace kivo
