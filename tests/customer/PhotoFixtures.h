#pragma once

// Shared fixtures of the customer tests: real JPEG and PNG files, folder
// listings, preferences.

#include "TestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QImage>
#include <QtTest>

namespace kivo::test {

inline void setPrefs(const QVariantMap &values)
{
    for (auto it = values.begin(); it != values.end(); ++it)
        Preferences::standard().setValue(it.key(), it.value());
}

// Every entry of a folder, hidden ones included, sorted by name.
inline QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A JPEG of the given size, modified ageSecs ago (settled by default); cut
// short to cutAt bytes when given.
inline bool writePhoto(const QString &path, int width, int height, int ageSecs = 60, int cutAt = -1)
{
    QFile f(path);
    return writeJpeg(path, width, height, Qt::green) && f.open(QIODevice::ReadWrite) &&
           (cutAt < 0 || f.resize(cutAt)) &&
           f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSecs),
                         QFile::FileModificationTime);
}

// An overlay: opaque frame colour with a transparent window in the middle
// (the inner half of each side).
inline bool writeOverlay(const QString &path, int width, int height, QColor frame = Qt::red)
{
    QImage img(width, height, QImage::Format_ARGB32);
    img.fill(frame);
    for (int y = height / 4; y < height * 3 / 4; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(img.scanLine(y)) + width / 4, width / 2, 0);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && img.save(path, "png");
}

} // namespace kivo::test
