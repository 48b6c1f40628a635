#include "FolderValidation.h"

#include "DisplayParameters.h"
#include "MyAliasKit.h"
#include "PrefKeys.h"
#include "StationLog.h"
#include "platform/Description.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QFileInfo>

namespace kivo {

QVariantMap FolderValidation::triple(const QString &pathKey, const QString &aliasDataKey,
                                     const QString &isValidKey)
{
    return {{QString::fromLatin1(keys::prefFolderNameKey), pathKey},
            {QString::fromLatin1(keys::prefFolderAliasDataKey), aliasDataKey},
            {QString::fromLatin1(keys::prefFolderNameIsValidKey), isValidKey}};
}

QVariantMap FolderValidation::mainImagesFolderTriple()
{
    return triple(keys::prefSlideShowPath, keys::prefSlideShowPathAliasData,
                  keys::prefSlideShowPathAliasDataIsValid);
}

QVariantMap FolderValidation::movieFileTriple()
{
    return triple(keys::prefMoviePath, keys::prefMoviePathAliasData,
                  keys::prefMoviePathAliasDataIsValid);
}

QVariantMap FolderValidation::slideShowFolderTripleForIndex(int index)
{
    return triple(DisplayParameters::keyForIndex(keys::prefSlideShowPath, index),
                  DisplayParameters::keyForIndex(keys::prefSlideShowPathAliasData, index),
                  DisplayParameters::keyForIndex(keys::prefSlideShowPathAliasDataIsValid, index));
}

bool validateFolderPrefWithParam(const QVariantMap &triple)
{
    return validateFolderPrefWithParam(triple, Preferences::standard());
}

bool validateFolderPrefWithParam(const QVariantMap &triple, Preferences &prefs)
{
    logLine(lcStation(), QStringLiteral("Inside validateFolderPrefWithParam withParameter = %1")
                             .arg(describe(triple)));
    const QString pathKey = triple.value(keys::prefFolderNameKey).toString();
    const QString aliasKey = triple.value(keys::prefFolderAliasDataKey).toString();
    const QString isValidKey = triple.value(keys::prefFolderNameIsValidKey).toString();

    const QString path = pathKey.isEmpty() ? QString() : prefs.string(pathKey);
    const QByteArray aliasData = aliasKey.isEmpty() ? QByteArray() : prefs.data(aliasKey);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isDir())
        return true;

    QString resolved;
    if (MyAliasKit::resolveAliasFromData(aliasData, &resolved)) {
        QVariantMap repaired{{pathKey, resolved}};
        if (!isValidKey.isEmpty())
            repaired.insert(isValidKey, true);
        prefs.setValues(repaired);
        return true;
    }
    if (!isValidKey.isEmpty())
        prefs.setValue(isValidKey, false);
    return false;
}

} // namespace kivo
