#pragma once

#include <QList>
#include <QString>

namespace kivo {

// Finds a running copy of a desktop application and brings it to the front,
// so that asking for the application never starts a second copy of it.
class ApplicationActivator
{
public:
    // What tells the application's running copy: its D-Bus activation name
    // (empty when it has none), its windows' WM_CLASS and its executable's
    // file name.
    struct Identity
    {
        QString dbusName;
        QString windowClass;
        QString executable;
    };

    enum class Result
    {
        Activated,            // brought to the front
        RunningWithoutWindow, // a process runs, no window to show yet (starting)
        NotRunning,
    };

    // Activates the copy over D-Bus (org.freedesktop.Application.Activate)
    // when its name has an owner on the session bus, else its X window found
    // by class or by the process ids of its executable. Blocks on the bus and
    // the X server: run it on a worker.
    static Result activateRunning(const Identity &app);

    // Ids of the processes other than this one whose executable, first
    // argument or second argument (a script run by its interpreter) has the
    // file name executable. Reads at most kMaxProcesses entries of /proc.
    static QList<qint64> runningProcesses(const QString &executable);

    static constexpr int kMaxProcesses = 65536;
    static constexpr int kBusTimeoutMs = 1000;
};

} // namespace kivo
