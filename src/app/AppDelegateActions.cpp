// The delegate's actions: identify, reveal, relaunch.

#include "AppDelegate.h"

#include "AppLog.h"
#include "KIVOApplication.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/ProgramRunner.h"

namespace kivo {

QList<int> AppDelegate::identifyTargets(int index, int count)
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

void AppDelegate::identifyScreen(int index)
{
    for (int i : identifyTargets(index, displayControllerCount()))
        identifyDisplay(i);
}

void AppDelegate::doIdentifyAll()
{
    identifyScreen(-1);
}

void AppDelegate::doIdentify(int tag)
{
    if (tag != 0)
        identifyScreen(tag - 1);
}

void AppDelegate::doStopSlideShow(int tag)
{
    doIdentify(tag);
}

void AppDelegate::doRevealInFinder(int tag)
{
    const QString key = tag == kRevealTempFolderTag ? QLatin1String(keys::prefTempFolderPath)
                                                    : QLatin1String(keys::prefSlideShowPath);
    const QString path = Preferences::standard().string(key);
    m_workers.start([path] { revealItemInFinder(path); });
}

void AppDelegate::relaunchApp(const QVariant &request)
{
    logLine(lcApp(), QStringLiteral("AppDelegate->relaunchApp..."));
    if (KIVOApplication *app = KIVOApplication::instance())
        app->relaunch(request);
    else
        logLine(lcApp(), QStringLiteral("AppDelegate->relaunchApp... no application object, not "
                                        "relaunching"));
}

} // namespace kivo
