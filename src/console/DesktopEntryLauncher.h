#pragma once

#include "platform/ApplicationActivator.h"

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace kivo {

// Opens an application by its desktop entry id ("org.example.App", with or
// without ".desktop"), or brings its running copy to the front. Ids holding a
// '/' are refused.
class DesktopEntryLauncher
{
public:
    enum class Outcome
    {
        Activated, // a running copy came to the front
        Starting,  // its process runs without a window yet: nothing started
        Launched,
        Failed, // logged
    };

    // The entry's file and what tells its running copy: "StartupWMClass"
    // (else the executable's name), the executable of "Exec", and the
    // D-Bus name (the id) when "DBusActivatable" is true.
    struct Entry
    {
        QString id; // with ".desktop"
        QString path;
        ApplicationActivator::Identity identity;
    };
    static std::optional<Entry> readEntry(const QString &desktopId);

    // Looks for a running copy on a worker, then on receiver's thread starts
    // the application only when none runs; done (optional) gets the outcome.
    static void openOrActivate(const QString &desktopId, QObject *receiver,
                               std::function<void(Outcome)> done = {});

    // Starts the application through the desktop's launcher: `gio launch`
    // on the entry file, else `gtk-launch`. False (and logged) when nothing
    // could be started.
    static bool launch(const Entry &entry);

private:
    // Launches unless this entry was launched a moment ago.
    static Outcome launchUnlessStarting(const Entry &entry);
};

} // namespace kivo
