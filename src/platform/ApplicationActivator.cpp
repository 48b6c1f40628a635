#include "ApplicationActivator.h"

#include "Log.h"
#include "PlatformLog.h"
#include "X11Windows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kivo {

namespace {

bool activateOverBus(const QString &name)
{
    if (name.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage owner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    owner << name;
    const QDBusMessage reply = bus.call(owner, QDBus::Block, ApplicationActivator::kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).toBool())
        return false;
    // The object path of org.freedesktop.Application: the name with '/' for '.'.
    const QString path = QLatin1Char('/') + QString(name)
                                                .replace(QLatin1Char('.'), QLatin1Char('/'))
                                                .replace(QLatin1Char('-'), QLatin1Char('_'));
    QDBusMessage activate = QDBusMessage::createMethodCall(
        name, path, QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    activate << QVariantMap();
    return bus.send(activate);
}

bool sameName(const QByteArray &path, const QString &executable)
{
    return !path.isEmpty() && QFileInfo(QFile::decodeName(path)).fileName() == executable;
}

} // namespace

ApplicationActivator::Result ApplicationActivator::activateRunning(const Identity &app)
{
    if (activateOverBus(app.dbusName)) {
        logLine(
            lcPlatform(),
            QStringLiteral("ApplicationActivator... [%1] activated over D-Bus").arg(app.dbusName));
        return Result::Activated;
    }
    const QList<qint64> pids = runningProcesses(app.executable);
    const QList<quint32> windows = X11Windows::find(app.windowClass, pids);
    if (!windows.isEmpty() && X11Windows::activate(windows.first())) {
        logLine(lcPlatform(),
                QStringLiteral("ApplicationActivator... window 0x%1 of [%2] brought to the front")
                    .arg(windows.first(), 0, 16)
                    .arg(app.windowClass.isEmpty() ? app.executable : app.windowClass));
        return Result::Activated;
    }
    return pids.isEmpty() ? Result::NotRunning : Result::RunningWithoutWindow;
}

QList<qint64> ApplicationActivator::runningProcesses(const QString &executable)
{
    QList<qint64> pids;
    if (executable.isEmpty())
        return pids;
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries.mid(0, kMaxProcesses)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        const QString dir = QStringLiteral("/proc/") + entry;
        bool match = sameName(QFile::encodeName(QFile::symLinkTarget(dir + QStringLiteral("/exe"))),
                              executable);
        QFile cmdline(dir + QStringLiteral("/cmdline"));
        if (!match && cmdline.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> args = cmdline.read(4096).split('\0');
            match = sameName(args.value(0), executable) || sameName(args.value(1), executable);
        }
        if (match)
            pids << pid;
    }
    return pids;
}

} // namespace kivo
