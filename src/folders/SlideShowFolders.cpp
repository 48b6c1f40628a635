#include "SlideShowFolders.h"

#include "FoldersLog.h"
#include "platform/FileOps.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace kivo {

namespace {
const QString kPathKey = QLatin1String(keys::prefSlideShowPath);
const QString kAliasKey = QLatin1String(keys::prefSlideShowPathAliasData);
const QString kValidKey = QLatin1String(keys::prefSlideShowPathAliasDataIsValid);
const QString kMoveKey = QLatin1String(keys::prefMoveItemsAterFactoryDefault);

bool isEmptyFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() &&
           QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System |
                              QDir::NoDotAndDotDot);
}

void logMoveError(const QString &from, const QString &to, const QString &error)
{
    logLine(lcFolders(),
            QStringLiteral("SlideShowFolders->moveItemsToDefaultFolder...moveItemAtPath FROM: [%1] "
                           "TO: [%2] returned Error:[%3]")
                .arg(from, to, error));
}
} // namespace

QStringList SlideShowFolders::localFolderPaths()
{
    return {expandTilde(QString::fromLatin1(currentFolder)),
            expandTilde(QString::fromLatin1(failedFolder)),
            expandTilde(QString::fromLatin1(processedFolder))};
}

bool SlideShowFolders::createLocalFolders()
{
    bool all = true;
    for (const QString &folder : localFolderPaths())
        all = createDirectoryIfMissing(folder) && all;
    return all;
}

bool SlideShowFolders::moveItemsToDefaultFolder(const QString &factoryPath)
{
    Preferences &prefs = Preferences::standard();
    const QString target = QDir::cleanPath(factoryPath);
    const QString stored = prefs.string(kPathKey);
    if (stored.isEmpty()) {
        logLine(
            lcFolders(),
            QStringLiteral("SlideShowFolders->moveItemsToDefaultFolder... no prefSlideShowPath, "
                           "nothing to move"));
        return false;
    }
    const QString source = QDir::cleanPath(expandTilde(stored));
    if (source.compare(target, Qt::CaseInsensitive) == 0)
        return false;
    if (!prefs.boolean(kMoveKey))
        return false;
    if (target.startsWith(source + QLatin1Char('/'), Qt::CaseInsensitive)) {
        logMoveError(source, target, QStringLiteral("the destination lies inside the source"));
        return false;
    }

    // The destination was created empty by the start-up; the folder takes its
    // place. It is put back when the move fails.
    const bool replacedEmptyFolder = isEmptyFolder(target) && QDir().rmdir(target);
    QString error;
    const bool moved = FileOps::moveNoReplace(source, target, &error);
    if (!moved) {
        logMoveError(source, target, error.isEmpty() ? QStringLiteral("move failed") : error);
        if (replacedEmptyFolder)
            createDirectoryIfMissing(target);
        return false;
    }
    if (!QFileInfo::exists(target))
        return false;
    prefs.setValues({{kPathKey, target}, {kValidKey, true}});
    MyAliasKit::savePath(target, kAliasKey);
    logLine(lcFolders(),
            QStringLiteral("SlideShowFolders->moveItemsToDefaultFolder... moved [%1] to [%2]")
                .arg(source, target));
    return true;
}

bool SlideShowFolders::createSlideShowFolderPaths()
{
    logLine(lcFolders(), QStringLiteral("SlideShowFolders->createSlideShowFolderPaths..."));
    return validateFolderPrefWithParam(FolderValidation::mainImagesFolderTriple());
}

} // namespace kivo
