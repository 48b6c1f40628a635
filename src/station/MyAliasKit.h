#pragma once

#include <QByteArray>
#include <QString>

namespace kivo {

class Preferences;

// Folder reference data for the preferences: builds, resolves and stores the
// opaque reference (FolderReference) that finds a folder or file again after
// it was moved or renamed.
class MyAliasKit
{
public:
    // The reference data of an existing item; empty when path is empty or
    // missing, or when no reference can be built.
    static QByteArray aliasDataForPath(const QString &path);

    // Resolves stored reference data. On success resolvedPath receives the
    // item's current path and changedData (when given) the updated data when
    // the reference had to be updated (empty otherwise). Failures are logged.
    static bool resolveAliasFromData(const QByteArray &data, QString *resolvedPath,
                                     QByteArray *changedData);
    static bool resolveAliasFromData(const QByteArray &data, QString *resolvedPath);

    // Stores the reference data of path under key; logs and stores nothing
    // when no data can be built.
    static void savePath(const QString &path, const QString &key);
    static void savePath(const QString &path, const QString &key, Preferences &prefs);
};

} // namespace kivo
