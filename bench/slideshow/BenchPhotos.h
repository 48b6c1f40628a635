#pragma once

// Camera-like test photos for the display benchmarks, written once into a
// cache folder and reused by later runs.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

namespace kivo::bench {

// A 6000x4000 JPEG with gradients and noise (about 24 megapixels).
inline bool ensurePhoto24mp(const QString &path, quint32 seed)
{
    if (QFileInfo(path).size() > 0)
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QSize size(6000, 4000);
    QImage img(size, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / size.width() + n) & 0xff,
                           (y * 255 / size.height() + n) & 0xff, (seed * 37 + n) & 0xff);
        }
    }
    const QString tmp = path + ".tmp";
    QImageWriter writer(tmp, "jpeg");
    writer.setQuality(90);
    return writer.write(img) && QFile::rename(tmp, path);
}

// The cache folder: argument, else $KIVO_BENCH_CACHE, else a folder in the
// system's cache place.
inline QString cacheDir(int argc, char **argv, int index)
{
    if (argc > index)
        return QString::fromLocal8Bit(argv[index]);
    const QByteArray env = qgetenv("KIVO_BENCH_CACHE");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QDir::tempPath() + "/kivo-bench-cache";
}

} // namespace kivo::bench
