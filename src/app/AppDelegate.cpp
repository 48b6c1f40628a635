#include "AppDelegate.h"

#include "AppLog.h"
#include "BRLogFileManager.h"
#include "FactoryDefaults.h"
#include "KIVOApplication.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/SingleInstance.h"
#include "platform/UnixSignalWatcher.h"
#include "station/Clock.h"
#include "station/PrefKeys.h"

#include <QApplication>

namespace kivo {

AppDelegate::Initialisation AppDelegate::initialize()
{
    Initialisation result;
    BRLogFileManager::getApplicationName();
    if (FactoryDefaults::redirectsLogToFile(Preferences::standard(), AppPaths::resourcesDir()))
        BRLogFileManager::setupLogFile();
    logLine(lcApp(), QString());
    logLine(lcApp(), QString());
    logLine(lcApp(), QString(60, QLatin1Char('=')));
    logLine(lcApp(), QStringLiteral("Inside AppDelegate => initialize..."));

    result.instance = std::make_unique<SingleInstance>();
    if (result.instance->start() == SingleInstance::Role::Second) {
        QApplication::beep();
        logLine(lcApp(),
                QStringLiteral("Inside AppDelegate => checkForDuplicateRunningInstances...Another "
                               "Instance of this app is already running..."));
        result.anotherInstanceRuns = true;
        return result;
    }

    setupFactoryDefaults();
    deleteOldLogs();
    return result;
}

void AppDelegate::setupFactoryDefaults()
{
    FactoryDefaults::setupFactoryDefaults(Preferences::standard(), AppPaths::resourcesDir());
}

void AppDelegate::deleteOldLogs()
{
    logLine(lcApp(), QStringLiteral("Checking for Old Log Files to Delete..."));
    const qint64 days = Preferences::standard().integer(QLatin1String(keys::prefDaysToSaveLogs));
    BRLogFileManager::deleteOldLogsWithOptions({
        {QStringLiteral("deleteSubDirectory"), true},
        {QStringLiteral("deleteImmediately"), true},
        {QStringLiteral("beforeDate"), Clock::now().addSecs(-days * 86400)},
    });
    logLine(lcApp(), QStringLiteral("Checking for Old Log Files to Delete...Done."));
}

AppDelegate::AppDelegate(std::unique_ptr<SingleInstance> instance, QObject *parent)
    : QObject(parent), m_instance(std::move(instance)),
      m_workers(QStringLiteral("AppDelegate->applicationWillTerminate")), m_subsystems(this),
      m_actions(m_subsystems, m_workers, this),
      m_startup(m_timers, m_workers, m_subsystems, m_actions, this),
      m_status(m_subsystems, m_timers)
{
    connect(&m_status, &StationStatus::statusLineChanged, &m_service,
            &ServiceNotifier::notifyStatus);
    connect(&m_timers, &HousekeepingTimers::relaunchRequested, this,
            [this](const QVariantMap &request) {
                if (!relaunchApp(request))
                    m_timers.relaunchFailed();
            });
    connect(&m_timers, &HousekeepingTimers::bringToFrontRequested, this, [] {
        if (KIVOApplication *app = KIVOApplication::instance())
            app->activateIgnoringOtherApps();
    });
    if (m_instance) {
        connect(m_instance.get(), &SingleInstance::activationRequested, this, [this] {
            logLine(lcApp(),
                    QStringLiteral("AppDelegate->activationRequested... another copy asked us to "
                                   "come to the front"));
            if (KIVOApplication *app = KIVOApplication::instance())
                app->activateIgnoringOtherApps();
            applicationWillBecomeActive();
        });
    }
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    if (KIVOApplication *app = KIVOApplication::instance()) {
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive)
                        applicationWillBecomeActive();
                });
        connect(app, &KIVOApplication::preferencesRequested, &m_subsystems,
                &StationSubsystems::openPreferences);
    }
    connect(&m_subsystems, &StationSubsystems::revealRequested, &m_actions,
            &DelegateActions::doRevealInFinder);
    setupSignalHandling();
}

AppDelegate::~AppDelegate()
{
    applicationWillTerminate();
}

void AppDelegate::setupSignalHandling()
{
    m_signals = std::make_unique<UnixSignalWatcher>();
    connect(m_signals.get(), &UnixSignalWatcher::signalReceived, this, [](int signalNumber) {
        logLine(
            lcApp(),
            QStringLiteral("AppDelegate->signalReceived... signal %1, quitting").arg(signalNumber));
        QCoreApplication::quit();
    });
}

void AppDelegate::applicationDidFinishLaunching()
{
    m_startup.applicationDidFinishLaunching();
    m_screens.keepAwake();
    m_service.notifyReady();
    m_status.start();
}

void AppDelegate::applicationWillBecomeActive()
{
    if (!Preferences::standard().boolean(QLatin1String(keys::prefDoShoutMode)))
        m_subsystems.raiseConsole();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_status.stop();
    m_service.notifyStopping();
    m_timers.stop();
    m_subsystems.stopNotifications();
    m_subsystems.shutdown();
    m_workers.shutdown();
    WorkerPool::shared().shutdown();
    m_screens.release();
    logLine(lcApp(), QStringLiteral("AppDelegate->applicationWillTerminate...Done..."));
}

} // namespace kivo
