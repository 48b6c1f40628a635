#include "DesktopEntryLauncher.h"

#include "ConsoleLog.h"
#include "platform/Log.h"
#include "util/Async.h"
#include "util/WorkerPool.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kivo {

namespace {

constexpr qint64 kMaxEntryBytes = 64 * 1024;
// A copy started this recently counts as starting even before its process
// shows: two quick clicks start it once.
constexpr qint64 kStartingMs = 5000;

// When each entry was last started (main thread only).
QHash<QString, QDeadlineTimer> &recentStarts()
{
    static QHash<QString, QDeadlineTimer> starts;
    return starts;
}

// The keys of the "[Desktop Entry]" group (localised keys left out).
QHash<QString, QString> desktopEntryKeys(const QString &path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inGroup = false;
    for (const QByteArray &raw : file.read(kMaxEntryBytes).split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0 && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

// The file name of the program an "Exec" line runs ("env A=b prog %U" -> prog).
QString executableOf(const QString &exec)
{
    const QStringList words = QProcess::splitCommand(exec);
    qsizetype i = 0;
    if (!words.isEmpty() && QFileInfo(words.first()).fileName() == QLatin1String("env")) {
        for (i = 1; i < words.size() && words.at(i).contains(QLatin1Char('=')); ++i) {
        }
    }
    return i < words.size() ? QFileInfo(words.at(i)).fileName() : QString();
}

} // namespace

std::optional<DesktopEntryLauncher::Entry> DesktopEntryLauncher::readEntry(const QString &desktopId)
{
    Entry entry;
    entry.id = desktopId.trimmed();
    if (entry.id.isEmpty() || entry.id.contains(QLatin1Char('/'))) {
        logLine(lcConsole(),
                QStringLiteral("returnToMain... no usable desktop entry id [%1]").arg(desktopId));
        return std::nullopt;
    }
    if (!entry.id.endsWith(QLatin1String(".desktop")))
        entry.id += QLatin1String(".desktop");
    entry.path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry.id);
    const QHash<QString, QString> keys = desktopEntryKeys(entry.path);
    ApplicationActivator::Identity &identity = entry.identity;
    identity.executable = executableOf(keys.value(QStringLiteral("Exec")));
    identity.windowClass = keys.value(QStringLiteral("StartupWMClass"), identity.executable);
    if (keys.value(QStringLiteral("DBusActivatable")) == QLatin1String("true"))
        identity.dbusName = entry.id.chopped(int(qstrlen(".desktop")));
    return entry;
}

void DesktopEntryLauncher::openOrActivate(const QString &desktopId, QObject *receiver,
                                          std::function<void(Outcome)> done)
{
    const std::optional<Entry> entry = readEntry(desktopId);
    if (!entry) {
        if (done)
            done(Outcome::Failed);
        return;
    }
    Async::run(
        WorkerPool::shared(), receiver,
        [identity = entry->identity] { return ApplicationActivator::activateRunning(identity); },
        [entry = *entry, done](ApplicationActivator::Result found) {
            Outcome outcome = Outcome::Activated;
            if (found == ApplicationActivator::Result::RunningWithoutWindow) {
                logLine(lcConsole(), QStringLiteral("returnToMain... [%1] is starting (its process "
                                                    "runs without a window): not started again")
                                         .arg(entry.identity.executable));
                outcome = Outcome::Starting;
            } else if (found == ApplicationActivator::Result::NotRunning) {
                outcome = launchUnlessStarting(entry);
            }
            if (done)
                done(outcome);
        });
}

DesktopEntryLauncher::Outcome DesktopEntryLauncher::launchUnlessStarting(const Entry &entry)
{
    QDeadlineTimer &recent = recentStarts()[entry.id]; // expired when new
    if (!recent.hasExpired())
        return Outcome::Starting;
    if (!launch(entry))
        return Outcome::Failed;
    recent = QDeadlineTimer(kStartingMs);
    return Outcome::Launched;
}

bool DesktopEntryLauncher::launch(const Entry &entry)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    const QString gtkLaunch = QStandardPaths::findExecutable(QStringLiteral("gtk-launch"));
    bool started = false;
    if (!entry.path.isEmpty() && !gio.isEmpty())
        started = QProcess::startDetached(gio, {QStringLiteral("launch"), entry.path});
    else if (!gtkLaunch.isEmpty())
        started = QProcess::startDetached(gtkLaunch, {entry.id});
    logLine(lcConsole(),
            started ? QStringLiteral("returnToMain... [%1] is not running: started").arg(entry.id)
                    : QStringLiteral("returnToMain... unable to launch the desktop "
                                     "entry [%1] (entry [%2], gio [%3], gtk-launch "
                                     "[%4])")
                          .arg(entry.id, entry.path, gio, gtkLaunch));
    return started;
}

} // namespace kivo
