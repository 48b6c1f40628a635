#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace kivo {

// Decodes slides for display: at the size they are shown at (JPEG decodes at
// a reduced DCT scale), with the camera's orientation tag applied, and never
// at the full size of a huge or hostile file.
class SlideImageLoader
{
public:
    // Largest source accepted, in pixels (checked from the header).
    static constexpr qint64 kMaxSourcePixels = 200'000'000;
    // Largest single allocation the decoder may make, in megabytes.
    static constexpr int kAllocationLimitMB = 256;

    // The rectangle in which an image of the given size is shown inside rect
    // (origin at 0, 0, rect's size): scaled up or down to fill one direction,
    // centred in the other.
    static QRectF computeMaxRectForImage(QSizeF image, QRectF rect);
    // The same, rounded to whole pixels: the size slides are decoded at.
    static QRect fittedRect(QSize image, QSize view);

    // The image at path, oriented and scaled to the size it fills when fitted
    // into target (fittedRect), in a format that paints fast.
    // A null image when the file cannot be decoded, is truncated or too
    // large; error then says why. Safe on any thread.
    static QImage loadScaledToFit(const QString &path, QSize target, QString *error = nullptr);
};

} // namespace kivo
