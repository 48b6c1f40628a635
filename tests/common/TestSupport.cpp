#include "TestSupport.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QProcess>

#include <sys/stat.h>

namespace kivo::test {

void resetPreferences(const QVariantMap &values)
{
    Preferences &prefs = Preferences::standard();
    for (const QString &key : prefs.userValues().keys())
        prefs.remove(key);
    prefs.setValues(values);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
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

bool writeScript(const QString &path, const QByteArray &body)
{
    return writeFile(path, "#!/bin/sh\n" + body + "\n") &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

mode_t modeOf(const QString &path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

bool lockFolder(const QString &path, bool locked)
{
    if (::geteuid() == 0)
        return QProcess::execute("chattr", {locked ? "+i" : "-i", path}) == 0;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner |
                                           (locked ? QFile::Permissions() : QFile::WriteOwner));
}

QString folderOnOtherFileSystem(const QString &near)
{
    struct stat here = {}, shm = {};
    QByteArray path("/dev/shm/kivo-test-XXXXXX");
    if (::stat(QFile::encodeName(near).constData(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        here.st_dev == shm.st_dev || !::mkdtemp(path.data()))
        return {};
    return QFile::decodeName(path);
}

} // namespace kivo::test
