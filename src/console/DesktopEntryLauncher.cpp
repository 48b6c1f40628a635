#include "DesktopEntryLauncher.h"

#include "ConsoleLog.h"
#include "platform/Log.h"

#include <QProcess>
#include <QStandardPaths>

namespace kivo {

bool DesktopEntryLauncher::launch(const QString &desktopId)
{
    QString id = desktopId.trimmed();
    if (id.isEmpty() || id.contains(QLatin1Char('/'))) {
        logLine(lcConsole(),
                QStringLiteral("returnToMain... no usable desktop entry id [%1]").arg(desktopId));
        return false;
    }
    if (!id.endsWith(QLatin1String(".desktop")))
        id += QLatin1String(".desktop");
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    const QString gtkLaunch = QStandardPaths::findExecutable(QStringLiteral("gtk-launch"));
    bool started = false;
    if (!entry.isEmpty() && !gio.isEmpty())
        started = QProcess::startDetached(gio, {QStringLiteral("launch"), entry});
    else if (!gtkLaunch.isEmpty())
        started = QProcess::startDetached(gtkLaunch, {id});
    if (!started)
        logLine(lcConsole(),
                QStringLiteral("returnToMain... unable to launch the desktop entry [%1] (entry "
                               "[%2], gio [%3], gtk-launch [%4])")
                    .arg(id, entry, gio, gtkLaunch));
    return started;
}

} // namespace kivo
