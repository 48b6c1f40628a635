#include "StartupSequence.h"

#include "AppLog.h"
#include "DelegateActions.h"
#include "FactoryDefaults.h"
#include "HousekeepingTimers.h"
#include "KIVOApplication.h"
#include "StationSubsystems.h"
#include "folders/SlideShowFolders.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "station/DisplayOutputs.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/PrefKeys.h"
#include "util/Async.h"
#include "util/FileHelpers.h"

#include <QFileInfo>

#include <cstdlib>

namespace kivo {

namespace {
const QString kPathKey = QLatin1String(keys::prefSlideShowPath);
const QString kAliasKey = QLatin1String(keys::prefSlideShowPathAliasData);
const QString kValidKey = QLatin1String(keys::prefSlideShowPathAliasDataIsValid);
const QString kFade = QStringLiteral("fade");
constexpr int kScreenIndexKeys = 7;
} // namespace

StartupSequence::StartupSequence(HousekeepingTimers &timers, WorkerPool &workers,
                                 StationSubsystems &subsystems, DelegateActions &actions,
                                 QObject *parent)
    : QObject(parent), m_timers(timers), m_workers(workers), m_subsystems(subsystems),
      m_actions(actions)
{}

void StartupSequence::applicationWillFinishLaunching()
{
    m_timers.setupAutoRelaunchTimer();
    logLine(lcApp(),
            QStringLiteral("prefNewImageFolder = [%1]")
                .arg(Preferences::standard().string(QLatin1String(keys::prefNewImageFolder))));
    // The factory folder first: on the very first launch the main images
    // folder is the factory one, which only now comes into being, and the
    // normalisation and the checks below must find it. Any move of the old
    // folder is also over before the check on the worker reads the path.
    setupFactoryFolder();
    normalizeSlideShowPath();
    startPerformStartupValidation();
    m_timers.setupWatchdogTimer();
    std::srand(unsigned(Clock::now().toSecsSinceEpoch()));
    setupTransitionChoices();
    initializeAndStartSequence();
    if (!Preferences::standard().boolean(QLatin1String(keys::prefDoShoutMode)))
        createConsole();
}

void StartupSequence::normalizeSlideShowPath()
{
    Preferences &prefs = Preferences::standard();
    const QVariant stored = prefs.object(kPathKey);
    if (stored.typeId() != QMetaType::QString)
        return;
    const QString path = stored.toString();
    const QString expanded = expandTilde(path);
    if (expanded.compare(path, Qt::CaseInsensitive) != 0 && QFileInfo::exists(expanded)) {
        prefs.setValues({{kPathKey, expanded}, {kValidKey, true}});
        MyAliasKit::savePath(expanded, kAliasKey);
    }
}

// The check may wait on a slow or hung share: it runs on a worker and writes
// its findings to the preferences, which are safe from any thread.
void StartupSequence::startPerformStartupValidation()
{
    Async::run(
        m_workers, this, [] { performStartupValidation(); }, [] {});
}

void StartupSequence::performStartupValidation()
{
    Preferences &prefs = Preferences::standard();
    const QString path = mainImagesFolder();
    const QByteArray alias = prefs.data(kAliasKey);
    logLine(lcApp(),
            QStringLiteral("Inside AppDelegate => performStartupValidation... prefSlideShowPath = "
                           "[%1] prefSlideShowPathAliasData = [%2 bytes]")
                .arg(path)
                .arg(alias.size()));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).isDir()) {
        logLine(lcApp(), QStringLiteral("Inside AppDelegate => performStartupValidation... FOUND "
                                        "MainImagesPath[%1]...")
                             .arg(path));
        return;
    }
    QString resolved;
    const bool didResolve = MyAliasKit::resolveAliasFromData(alias, &resolved);
    logLine(lcApp(),
            QStringLiteral("Inside AppDelegate => performStartupValidation... didResolve = [%1]")
                .arg(didResolve ? QStringLiteral("YES") : QStringLiteral("NO")));
    if (didResolve) {
        prefs.setValues({{kValidKey, true}, {kPathKey, resolved}});
    } else {
        prefs.setValue(kValidKey, false);
        logLine(lcApp(),
                QStringLiteral("Inside AppDelegate => performStartupValidation... UNABLE TO FIND "
                               "mainImagePath = %1")
                    .arg(path));
    }
}

void StartupSequence::setupFactoryFolder()
{
    const QVariantMap factory = FactoryDefaults::loadFactoryDefaults(AppPaths::resourcesDir());
    const QString factoryPath = expandTilde(factory.value(kPathKey).toString());
    if (factoryPath.isEmpty()) {
        logLine(lcApp(),
                QStringLiteral("AppDelegate->setupFactoryFolder... the factory defaults name no "
                               "prefSlideShowPath"));
        return;
    }
    if (QFileInfo::exists(factoryPath)) {
        logLine(lcApp(), QStringLiteral("factorypath already exists = [%1]").arg(factoryPath));
        return;
    }
    logLine(lcApp(), QStringLiteral("need to create factorypath = [%1]").arg(factoryPath));
    createDirectoryIfMissing(factoryPath);
    SlideShowFolders::moveItemsToDefaultFolder(factoryPath);
}

QStringList StartupSequence::transitionChoices()
{
    return {QStringLiteral("No Transition Effect"), kFade, QStringLiteral("moveIn"),
            QStringLiteral("push"), QStringLiteral("reveal")};
}

void StartupSequence::setupTransitionChoices()
{
    Preferences &prefs = Preferences::standard();
    const QStringList choices = transitionChoices();
    prefs.setValue(QLatin1String(keys::prefAvailTransitionStyles), QVariant(choices).toList());
    const QVariant style = prefs.object(QLatin1String(keys::prefTransitionStyle));
    if (style.typeId() != QMetaType::QString || !choices.contains(style.toString())) {
        logLine(lcApp(),
                QStringLiteral("Forcing TransitionStyle to default value of [%1]").arg(kFade));
        prefs.setValue(QLatin1String(keys::prefTransitionStyle), kFade);
    }
}

void StartupSequence::initializeAndStartSequence()
{
    QVariantMap none;
    for (int n = 1; n <= kScreenIndexKeys; ++n)
        none.insert(QStringLiteral("prefNSScreenIndex%1").arg(n),
                    QStringLiteral("< None Detected >"));
    Preferences::standard().setValues(none);
    setupWindowControllers();
    if (validatePrefs())
        startSequence(-1);
}

void StartupSequence::setupWindowControllers()
{
    m_subsystems.showMenuBar(
        Preferences::standard().boolean(QLatin1String(keys::prefDoShowMenuBar)));
    m_subsystems.releaseDisplayControllers();
    const int screens = DisplayOutputs::displayCount();
    for (int i = 0; i < screens; ++i) {
        logLine(lcApp(), QStringLiteral("index %1 out of %2 screens...").arg(i).arg(screens));
        m_subsystems.createDisplayController(i);
    }
}

bool StartupSequence::validatePrefs()
{
    SlideShowFolders::createLocalFolders();
    const QString demo = Preferences::standard().string(QLatin1String(keys::prefDemoSlidesPath));
    if (!demo.isEmpty())
        createDirectoryIfMissing(expandTilde(demo));
    const bool mainFolderValid =
        validateFolderPrefWithParam(FolderValidation::mainImagesFolderTriple());
    const bool slideShowFolderValid = SlideShowFolders::createSlideShowFolderPaths();
    return mainFolderValid && slideShowFolderValid;
}

void StartupSequence::startSequence(qint16 which)
{
    if (which != -1) {
        logLine(lcApp(), QStringLiteral("AppDelegate->startSequence... which = [%1]").arg(which));
        return;
    }
    const int count = m_subsystems.displayControllerCount();
    logLine(
        lcApp(),
        QStringLiteral("AppDelegate->startSequence... starting %1 display controllers").arg(count));
    for (int i = 0; i < count; ++i)
        m_subsystems.startDisplayController(i);
}

// Console mode only.
void StartupSequence::createConsole()
{
    m_subsystems.createConsole([this] { m_actions.relaunchApp(QVariant()); });
}

void StartupSequence::applicationDidFinishLaunching()
{
    m_timers.setupAutoBringToFront();
    const QString script = QStringLiteral("getnewestfiles.sh");
    if (AppPaths::auxiliaryExecutable(script).isEmpty())
        logLine(lcApp(), QStringLiteral("\n\nrunShellScript FAILED => UNABLE to find script named: "
                                        "[%1]!\n\n")
                             .arg(script));
    m_subsystems.setupNotifications();
    m_subsystems.createBarcodeController();
    startFirstSearch();
    // Scans are typed into whichever window has the keyboard: the one that
    // takes them gets it from the start, with or without a window manager.
    if (KIVOApplication *app = KIVOApplication::instance())
        app->activateIgnoringOtherApps();
    logLine(lcApp(), QStringLiteral("AppDelegate->applicationDidFinishLaunching...Done..."));
}

void StartupSequence::startFirstSearch()
{
    Preferences &prefs = Preferences::standard();
    QString code;
    if (prefs.boolean(QLatin1String(keys::prefDoShoutMode)))
        code = QStringLiteral("*");
    else if (prefs.boolean(QLatin1String(keys::prefSearchDemoCodeAtStartup)))
        code = QStringLiteral("demo");
    if (code.isEmpty())
        return;
    m_subsystems.setCurrentBarcode(code);
    m_subsystems.findKivoFilesWithID(code);
}

} // namespace kivo
