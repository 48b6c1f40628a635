#pragma once

#include <QString>
#include <QStringList>

namespace kivo {

// The station's fixed local folder tree under the home folder, and the one-time
// move of the configured slideshow folder to its factory location.
class SlideShowFolders
{
public:
    // Fixed paths; "~" is the home folder.
    static constexpr const char *currentFolder = "~/KivoSlideShow/LocalSlideShowFolder/Current";
    static constexpr const char *failedFolder = "~/KivoSlideShow/LocalSlideShowFolder/Failed";
    static constexpr const char *processedFolder = "~/KivoSlideShow/LocalSlideShowFolder/Processed";

    // The three folders with "~" expanded, in creation order: current, failed,
    // processed.
    static QStringList localFolderPaths();

    // Creates the three folders with missing parents. True when all exist.
    static bool createLocalFolders();

    // Moves the folder named by prefSlideShowPath to factoryPath when
    // prefMoveItemsAterFactoryDefault is on and the two paths differ other than
    // in letter case. An empty folder already at factoryPath (start-up creates
    // it) is replaced; anything else there makes the move fail. On success the
    // main images folder preferences (path, validity, folder reference) name
    // factoryPath; on failure they are left as they were and the error is
    // logged. True when the folder was moved.
    static bool moveItemsToDefaultFolder(const QString &factoryPath);

    // Validates the main images folder preferences (repairing the path from
    // its folder reference when needed). True when the setting is valid.
    static bool createSlideShowFolderPaths();
};

} // namespace kivo
