#pragma once

// Photos and overlays for the customer slideshow tests: real JPEG and PNG
// files, JPEGs optionally carrying a camera orientation tag.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>

#include <sys/time.h>

namespace kivo::test {

// A JPEG of the given stored size and colour. orientation 0 writes no tag;
// 6 means "turn 90 degrees clockwise to show" (a portrait taken sideways).
inline bool writeTaggedJpeg(const QString &path, int width, int height, QColor color,
                            int orientation = 0)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(color);
    QByteArray jpeg;
    {
        QImageWriter w(path + QStringLiteral(".tmp"), "jpeg");
        w.setQuality(90);
        if (!w.write(img))
            return false;
        QFile f(path + QStringLiteral(".tmp"));
        if (!f.open(QIODevice::ReadOnly))
            return false;
        jpeg = f.readAll();
        f.remove();
    }
    if (orientation != 0) {
        // APP1 "Exif": big-endian TIFF header, one IFD entry 0x0112 (SHORT).
        QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                              "0001"
                                              "011200030000000100") +
                          char(orientation) +
                          QByteArray::fromHex("0000"
                                              "00000000");
        QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
        const int len = int(payload.size()) + 2;
        QByteArray app1 =
            QByteArray::fromHex("ffe1") + char((len >> 8) & 0xff) + char(len & 0xff) + payload;
        jpeg.insert(2, app1);
    }
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(jpeg) == jpeg.size();
}

// An overlay: opaque frame colour with a transparent window in the middle
// (the inner half of each side).
inline bool writeOverlay(const QString &path, int width, int height, QColor frame = Qt::red)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage img(width, height, QImage::Format_ARGB32);
    img.fill(frame);
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(width / 4, height / 4, width / 2, height / 2, Qt::transparent);
    p.end();
    return img.save(path, "png");
}

// Sets a file's modification time secs seconds into the past.
inline bool ageFile(const QString &path, int secs)
{
    struct timeval tv[2];
    gettimeofday(&tv[0], nullptr);
    tv[0].tv_sec -= secs;
    tv[1] = tv[0];
    return utimes(QFile::encodeName(path).constData(), tv) == 0;
}

} // namespace kivo::test
