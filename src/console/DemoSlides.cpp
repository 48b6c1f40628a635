#include "DemoSlides.h"

#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace kivo {

QVariantMap DemoSlides::demoParameters(const Preferences &prefs)
{
    return {{QStringLiteral("code"), QStringLiteral("Demo Slides")},
            {QStringLiteral("sourcepath"),
             expandTilde(prefs.string(QLatin1String(keys::prefDemoSlidesPath)))}};
}

bool DemoSlides::isDemoPicture(const QString &fileName)
{
    static const QStringList kExtensions = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                            QStringLiteral("png"), QStringLiteral("tiff")};
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && kExtensions.contains(fileName.mid(dot + 1).toLower());
}

QStringList DemoSlides::demoPictures(const QString &folder)
{
    QStringList pictures;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return pictures;
    const QFileInfoList infos =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &info : infos) {
        if (isDemoPicture(info.fileName()))
            pictures << info.absoluteFilePath();
    }
    return pictures;
}

QString DemoSlides::noImagesText(const QString &folder)
{
    return QStringLiteral("Please put at least one demo image into the folder:\n\"%1\"")
        .arg(folder);
}

} // namespace kivo
