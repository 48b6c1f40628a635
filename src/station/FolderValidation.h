#pragma once

#include <QVariantMap>

namespace kivo {

class Preferences;

// Folder preference triples (path key, folder reference key, validity flag
// key, passed as a dictionary under "prefFolderNameKey",
// "prefFolderAliasDataKey" and "prefFolderNameIsValidKey") and their check.
class FolderValidation
{
public:
    static QVariantMap triple(const QString &pathKey, const QString &aliasDataKey,
                              const QString &isValidKey);
    // prefSlideShowPath, the root of the daily folders.
    static QVariantMap mainImagesFolderTriple();
    // prefMoviePath, the movie chosen with the movie chooser.
    static QVariantMap movieFileTriple();
    // prefSlideShowPath<n>, the folder display index plays (n = index + 1).
    static QVariantMap slideShowFolderTripleForIndex(int index);
};

// Checks a remembered folder: true when the stored path is an existing folder
// or was repaired from the stored folder reference (the repaired path and a
// true flag are stored); false, with a false flag stored, when the reference
// does not resolve; false without writing anything when no path is stored.
bool validateFolderPrefWithParam(const QVariantMap &triple);
bool validateFolderPrefWithParam(const QVariantMap &triple, Preferences &prefs);

} // namespace kivo
