#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

namespace kivo::test {

QString home()
{
    return QDir::homePath();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

bool writeJpeg(const QString &path, int width, int height, QColor color, int quality)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(color);
    QImageWriter w(path, "jpeg");
    w.setQuality(quality);
    return w.write(img);
}

} // namespace kivo::test
