#pragma once

#include <QString>

namespace kivo {

// Starts an application by its desktop entry id ("org.example.App", with or
// without ".desktop") through the desktop's launcher: `gio launch` on the
// entry file, else `gtk-launch`. Ids holding a '/' are refused.
class DesktopEntryLauncher
{
public:
    // False (and logged) when the id is unusable or nothing could be started.
    static bool launch(const QString &desktopId);
};

} // namespace kivo
