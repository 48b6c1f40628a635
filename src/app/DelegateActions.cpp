#include "DelegateActions.h"

#include "AppLog.h"
#include "KIVOApplication.h"
#include "StationSubsystems.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/Async.h"
#include "util/ProgramRunner.h"

namespace kivo {

DelegateActions::DelegateActions(StationSubsystems &subsystems, WorkerPool &workers,
                                 QObject *parent)
    : QObject(parent), m_subsystems(subsystems), m_workers(workers)
{}

QList<int> DelegateActions::identifyTargets(int index, int count)
{
    QList<int> targets;
    if (index < 0) {
        for (int i = 0; i < count; ++i)
            targets << i;
    } else if (index < count) {
        targets << index;
    }
    return targets;
}

void DelegateActions::identifyScreen(int index)
{
    for (int i : identifyTargets(index, m_subsystems.displayControllerCount()))
        m_subsystems.identifyDisplay(i);
}

void DelegateActions::doIdentifyAll()
{
    identifyScreen(-1);
}

void DelegateActions::doIdentify(int tag)
{
    if (tag != 0)
        identifyScreen(tag - 1);
}

void DelegateActions::doStopSlideShow(int tag)
{
    m_subsystems.stopDisplay(tag - 1);
}

void DelegateActions::doRevealInFinder(int tag)
{
    const QString key = tag == kRevealTempFolderTag ? QLatin1String(keys::prefTempFolderPath)
                                                    : QLatin1String(keys::prefSlideShowPath);
    const QString path = Preferences::standard().string(key);
    Async::run(
        m_workers, this, [path] { revealItemInFinder(path); }, [] {});
}

bool DelegateActions::relaunchApp(const QVariant &request)
{
    logLine(lcApp(), QStringLiteral("AppDelegate->relaunchApp..."));
    if (KIVOApplication *app = KIVOApplication::instance())
        return app->relaunch(request);
    logLine(lcApp(), QStringLiteral("AppDelegate->relaunchApp... no application object, not "
                                    "relaunching"));
    return false;
}

} // namespace kivo
