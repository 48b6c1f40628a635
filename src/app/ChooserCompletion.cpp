#include "ChooserCompletion.h"

#include "AppLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/PrefKeys.h"

namespace kivo {

namespace {

QVariantMap parameters(const QString &message, bool folders, bool files, QVariantMap triple)
{
    triple.insert(chooser::panelMessageKey, message);
    triple.insert(chooser::panelPromptKey, QStringLiteral("Select"));
    triple.insert(chooser::panelCanChooseFoldersKey, folders);
    triple.insert(chooser::panelCanChooseFilesKey, files);
    return triple;
}

} // namespace

QVariantMap ChooserCompletion::slideShowFolderChooserParameters()
{
    return parameters(QStringLiteral("Please Select the SlideShow Folder"), true, false,
                      FolderValidation::mainImagesFolderTriple());
}

QVariantMap ChooserCompletion::movieChooserParameters()
{
    return parameters(QStringLiteral("Please Select the Movie to Play..."), false, true,
                      FolderValidation::movieFileTriple());
}

void ChooserCompletion::openPanelDidEndNew(int returnCode, const QStringList &chosenPaths,
                                           const QVariant &context)
{
    openPanelDidEndNew(returnCode, chosenPaths, context, Preferences::standard());
}

void ChooserCompletion::openPanelDidEndNew(int returnCode, const QStringList &chosenPaths,
                                           const QVariant &context, Preferences &prefs)
{
    if (returnCode == kCancel) {
        logLine(lcApp(),
                QStringLiteral("openPanelDidEnd:returnCode:contextInfo returned NSCancelButton"));
        return;
    }
    if (returnCode != kAccept) {
        logLine(lcApp(), QStringLiteral("openPanelDidEnd:returnCode:contextInfo returned ?????"));
        return;
    }
    if (!context.isValid()) {
        logLine(lcApp(), QStringLiteral("openPanelDidEnd passed NIL for contextInfo?????"));
        return;
    }
    if (context.typeId() != QMetaType::QVariantMap || chosenPaths.isEmpty() ||
        chosenPaths.last().isEmpty())
        return;
    const QVariantMap params = context.toMap();
    const QString path = chosenPaths.last();
    const QString pathKey = params.value(keys::prefFolderNameKey).toString();
    const QString isValidKey = params.value(keys::prefFolderNameIsValidKey).toString();
    const QString aliasKey = params.value(keys::prefFolderAliasDataKey).toString();
    QVariantMap values;
    if (!pathKey.isEmpty())
        values.insert(pathKey, path);
    if (!isValidKey.isEmpty())
        values.insert(isValidKey, true);
    prefs.setValues(values);
    if (!aliasKey.isEmpty())
        MyAliasKit::savePath(path, aliasKey, prefs);
}

} // namespace kivo
