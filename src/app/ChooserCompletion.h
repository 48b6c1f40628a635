#pragma once

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace kivo {

class Preferences;

// Keys of the chooser parameter dictionary (besides the three keys of the
// folder preference triple in which the choice is stored).
namespace chooser {
inline constexpr char panelDelegateKey[] = "panelDelegateKey";
inline constexpr char panelMessageKey[] = "panelMessageKey";
inline constexpr char panelPromptKey[] = "panelPromptKey";
inline constexpr char panelSenderKey[] = "panelSenderKey";
inline constexpr char panelCanChooseFoldersKey[] = "panelCanChooseFoldersKey";
inline constexpr char panelCanChooseFilesKey[] = "panelCanChooseFilesKey";
} // namespace chooser

// The parameters of the folder and file choosers and what happens when one
// is closed. The chooser window itself lives with the preferences window.
class ChooserCompletion
{
public:
    // Result codes of a chooser.
    static constexpr int kCancel = 0;
    static constexpr int kAccept = 1;

    // "Please Select the SlideShow Folder": folders only, into the main
    // images folder triple.
    static QVariantMap slideShowFolderChooserParameters();
    // "Please Select the Movie to Play...": files only, into the movie triple.
    static QVariantMap movieChooserParameters();

    // Completion of a chooser: for kAccept with a dictionary context and at
    // least one chosen path, stores the last path, a true validity flag and the
    // path's folder reference in the context's triple. Anything else stores
    // nothing; a missing context, a cancel and other codes are logged.
    static void openPanelDidEndNew(int returnCode, const QStringList &chosenPaths,
                                   const QVariant &context);
    static void openPanelDidEndNew(int returnCode, const QStringList &chosenPaths,
                                   const QVariant &context, Preferences &prefs);
};

} // namespace kivo
