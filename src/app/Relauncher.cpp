#include "Relauncher.h"

#include "AppLog.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/ServiceNotifier.h"

#include <QCoreApplication>
#include <QObject>
#include <QProcess>
#include <QVariantMap>

namespace kivo {

Relauncher::Request Relauncher::parseRequest(const QVariant &request)
{
    Request result;
    if (request.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = request.toMap();
        result.sender = map.value(QStringLiteral("sender"));
        result.launchFlags = qint32(map.value(QStringLiteral("LSLaunchFlags")).toLongLong());
    } else if (request.canConvert<QObject *>() && request.value<QObject *>()) {
        result.sender = request;
    }
    return result;
}

bool Relauncher::relaunch(const QVariant &request, const QuitFunction &quit,
                          const QString &stationPath)
{
    const Request parsed = parseRequest(request);
    if (ServiceNotifier::isSupervised()) {
        logLine(lcApp(), QStringLiteral("Relauncher->relaunch... under the service manager: "
                                        "ending with status %1 to be started again")
                             .arg(ServiceNotifier::kRelaunchExitStatus));
        if (quit)
            quit(parsed.sender, ServiceNotifier::kRelaunchExitStatus);
        return true;
    }
    const QString tool = AppPaths::auxiliaryExecutable(QStringLiteral("relaunch"));
    if (tool.isEmpty()) {
        logLine(lcApp(),
                QStringLiteral("Relauncher->relaunch... FAILED => UNABLE to find the relaunch tool "
                               "in [%1]; the station keeps running")
                    .arg(AppPaths::libexecDir()));
        return false;
    }
    const QString station =
        stationPath.isEmpty() ? QCoreApplication::applicationFilePath() : stationPath;
    const QStringList args = {station, QString::number(QCoreApplication::applicationPid()),
                              QString::number(parsed.launchFlags)};
    if (!QProcess::startDetached(tool, args)) {
        logLine(lcApp(),
                QStringLiteral("Relauncher->relaunch... FAILED to start [%1 %2]; the station keeps "
                               "running")
                    .arg(tool, args.join(QLatin1Char(' '))));
        return false;
    }
    logLine(lcApp(), QStringLiteral("Relauncher->relaunch... started [%1 %2]")
                         .arg(tool, args.join(QLatin1Char(' '))));
    if (quit)
        quit(parsed.sender, 0);
    return true;
}

} // namespace kivo
