#include "FactoryDefaults.h"

#include "AppLog.h"
#include "platform/Description.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QFileInfo>

namespace kivo {

namespace {

QString inFolder(const QString &folder, const char *name)
{
    return folder + QLatin1Char('/') + QString::fromLatin1(name);
}

} // namespace

QVariantMap FactoryDefaults::loadFactoryDefaults(const QString &resourcesDir)
{
    const QVariant root = readPropertyList(inFolder(resourcesDir, kFactoryDefaultsFile));
    return root.typeId() == QMetaType::QVariantMap ? root.toMap() : QVariantMap();
}

bool FactoryDefaults::redirectsLogToFile(Preferences &prefs, const QString &resourcesDir)
{
    const QString key = QLatin1String(keys::prefRedirectNSLogToFile);
    prefs.registerDefaults(loadFactoryDefaults(resourcesDir));
    const QString forcedPath = inFolder(resourcesDir, kForcedPrefsFile);
    const QVariantMap forced =
        QFileInfo::exists(forcedPath) ? readPropertyList(forcedPath).toMap() : QVariantMap();
    return forced.contains(key) ? forced.value(key).toBool() : prefs.boolean(key);
}

void FactoryDefaults::setupFactoryDefaults(Preferences &prefs, const QString &resourcesDir)
{
    const QVariant factory = readPropertyList(inFolder(resourcesDir, kFactoryDefaultsFile));
    if (factory.typeId() == QMetaType::QVariantMap) {
        logLine(lcApp(), describe(factory));
        prefs.registerDefaults(factory.toMap());
    } else {
        logLine(lcApp(), QStringLiteral("userDefaultsValuesDict == NIL!!!!"));
    }

    QVariantMap stored{{QString::fromLatin1(keys::prefDoShoutMode), false}};
    const QString forcedPath = inFolder(resourcesDir, kForcedPrefsFile);
    if (QFileInfo::exists(forcedPath)) {
        const QVariant forced = readPropertyList(forcedPath);
        if (forced.typeId() == QMetaType::QVariantMap)
            stored.insert(forced.toMap());
        else
            logLine(lcApp(),
                    QStringLiteral("Ignoring \"%1\": not a readable property list dictionary")
                        .arg(forcedPath));
    }
    prefs.setValues(stored);
    prefs.synchronize();
}

} // namespace kivo
