#include "BackgroundPicture.h"

#include "SlideshowLog.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"
#include "util/JpegMemoryGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace kivo {

namespace {
const QStringList kExtensions{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                              QStringLiteral("tiff")};
// A tile larger than this is not a background picture.
constexpr qint64 kMaxPicturePixels = 40'000'000;
constexpr int kMaxTileSide = 4096;

bool loadsAsImage(const QString &path)
{
    return QFileInfo(path).isFile() && !BackgroundPicture::loadPicture(path).isNull();
}

QStringList patternFolders(const Preferences &prefs)
{
    QStringList folders{expandTilde(QStringLiteral("~/KivoSlideShow"))};
    const QString mainFolder = expandTilde(prefs.string(QLatin1String(keys::prefSlideShowPath)));
    if (!mainFolder.isEmpty()) {
        if (QFileInfo(mainFolder).isDir())
            folders.append(mainFolder);
        folders.append(QFileInfo(QDir::cleanPath(mainFolder)).path());
    }
    return folders;
}
} // namespace

QImage BackgroundPicture::loadPicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const JpegMemoryGuard memory(file);
    if (!memory.admitted()) {
        logLine(lcSlideshow(), QStringLiteral("BackgroundPicture->loadPicture... [%1] left out: %2")
                                   .arg(path, memory.error()));
        return {};
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPicturePixels) {
        logLine(lcSlideshow(),
                QStringLiteral("BackgroundPicture->loadPicture... too large: [%1]").arg(path));
        return {};
    }
    if (size.isValid() && (size.width() > kMaxTileSide || size.height() > kMaxTileSide))
        reader.setScaledSize(size.scaled(kMaxTileSide, kMaxTileSide, Qt::KeepAspectRatio));
    return reader.read();
}

QString BackgroundPicture::parentPreferencesFile(const QString &name)
{
    const QString xdg = AppPaths::xdgBaseDir("XDG_CONFIG_HOME", QStringLiteral(".config")) +
                        QStringLiteral("/Kivo/") + name;
    const QString old = QDir::homePath() + QStringLiteral("/Library/Preferences/") + name;
    return QFileInfo::exists(xdg) || !QFileInfo::exists(old) ? xdg : old;
}

QString BackgroundPicture::parentAccountName(const Preferences &prefs)
{
    const QString name = prefs.string(QLatin1String(keys::prefParentAppPlistName));
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    const QString path = parentPreferencesFile(name);
    const QVariant plist = readPropertyList(path);
    if (!plist.isValid()) {
        logLine(lcSlideshow(),
                QStringLiteral("Error reading plist: %1, format: %2").arg(path).arg(0));
        return {};
    }
    const QVariant account = plist.toMap()
                                 .value(QStringLiteral("/"))
                                 .toMap()
                                 .value(QStringLiteral("corvel/"))
                                 .toMap()
                                 .value(QStringLiteral("account"));
    return account.typeId() == QMetaType::QString ? account.toString() : QString();
}

QString BackgroundPicture::findPath(const Preferences &prefs)
{
    const QStringList names = prefs.stringArray(QLatin1String(keys::prefPatternImageBaseNames));
    if (!names.isEmpty()) {
        // Folder order first, then extension order, then name order.
        for (const QString &folder : patternFolders(prefs)) {
            for (const QString &ext : kExtensions) {
                for (const QString &name : names) {
                    if (name.isEmpty() || name.contains(QLatin1Char('/')))
                        continue;
                    const QString path = folder + QLatin1Char('/') + name + QLatin1Char('.') + ext;
                    if (loadsAsImage(path)) {
                        logLine(lcSlideshow(),
                                QStringLiteral("Found patternimage at = %1").arg(path));
                        return path;
                    }
                }
            }
        }
    }

    const QString account = parentAccountName(prefs);
    if (!account.isEmpty() &&
        account.compare(QLatin1String("larkfield"), Qt::CaseInsensitive) != 0) {
        for (const QString &ext : kExtensions) {
            const QString path = AppPaths::resource(QStringLiteral("BG.") + ext);
            if (!path.isEmpty() && loadsAsImage(path))
                return path;
        }
    }
    for (const char *name : {"LarkFieldBG.png", "BG.png"}) {
        const QString path = AppPaths::resource(QLatin1String(name));
        if (!path.isEmpty() && loadsAsImage(path))
            return path;
    }
    return {};
}

QString BackgroundPicture::findPath()
{
    return findPath(Preferences::standard());
}

QImage BackgroundPicture::load(const Preferences &prefs)
{
    const QString path = findPath(prefs);
    return path.isEmpty() ? QImage() : loadPicture(path);
}

} // namespace kivo
