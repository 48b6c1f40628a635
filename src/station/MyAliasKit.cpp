#include "MyAliasKit.h"

#include "StationLog.h"
#include "platform/FolderReference.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QFileInfo>

namespace kivo {

namespace {
// Error codes reported in the resolution log line.
constexpr qint32 kErrorNotFound = -43;  // the item no longer exists
constexpr qint32 kErrorMalformed = -50; // the data is not a reference
} // namespace

QByteArray MyAliasKit::aliasDataForPath(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    return FolderReference::create(path);
}

bool MyAliasKit::resolveAliasFromData(const QByteArray &data, QString *resolvedPath,
                                      QByteArray *changedData)
{
    QString path;
    if (FolderReference::resolve(data, &path, changedData)) {
        if (resolvedPath)
            *resolvedPath = path;
        return true;
    }
    const qint32 err =
        FolderReference::storedPath(data).isEmpty() ? kErrorMalformed : kErrorNotFound;
    logLine(lcStation(), QStringLiteral("Inside resolveAliasFromData - FAILED in "
                                        "FSResolveAliasWithMountFlags... err=[0x%1]")
                             .arg(quint32(err), 2, 16, QLatin1Char('0')));
    return false;
}

bool MyAliasKit::resolveAliasFromData(const QByteArray &data, QString *resolvedPath)
{
    return resolveAliasFromData(data, resolvedPath, nullptr);
}

void MyAliasKit::savePath(const QString &path, const QString &key)
{
    savePath(path, key, Preferences::standard());
}

void MyAliasKit::savePath(const QString &path, const QString &key, Preferences &prefs)
{
    const QByteArray data = aliasDataForPath(path);
    if (data.isEmpty()) {
        logLine(
            lcStation(),
            QStringLiteral("Inside MyAliasKit => savePath... aliasDataForPath returned NIL?????"));
        return;
    }
    prefs.setValue(key, data);
}

} // namespace kivo
