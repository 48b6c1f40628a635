#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace kivo {

// Restarts the station. Under the systemd unit (ServiceNotifier::isSupervised)
// it asks the station to quit with exit status 75, on which the unit starts it
// again. Otherwise it starts the `relaunch` tool, which waits for this process
// to end and then starts the station again, and asks the station to quit with
// status 0. When the tool is missing or cannot be started the station keeps
// running: quitting without coming back would leave the screens dark.
class Relauncher
{
public:
    struct Request
    {
        QVariant sender; // passed on to the quit request
        qint32 launchFlags = 1;
    };

    // A dictionary gives "sender" and "LSLaunchFlags" (truncated to 32 bits); a
    // QObject (a button) is itself the sender with flags 1; anything else gives
    // no sender and flags 1.
    static Request parseRequest(const QVariant &request);

    using QuitFunction = std::function<void(const QVariant &sender, int exitStatus)>;

    // Under the unit: calls quit with status 75. Else starts `relaunch
    // <stationPath> <pid> <flags>` detached, then calls quit with status 0.
    // stationPath defaults to this executable. False, logged and without
    // quitting, when the tool is missing or does not start.
    static bool relaunch(const QVariant &request, const QuitFunction &quit,
                         const QString &stationPath = {});
};

} // namespace kivo
