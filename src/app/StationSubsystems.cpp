#include "StationSubsystems.h"

#include "AppLog.h"
#include "ConsoleHost.h"
#include "customer/BarcodeEntryController.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/slideShowWindowController.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

namespace kivo {

StationSubsystems::StationSubsystems(QObject *parent) : QObject(parent) {}

StationSubsystems::~StationSubsystems() = default;

void StationSubsystems::createConsole(std::function<void()> relaunch,
                                      std::function<void(int tag)> reveal)
{
    ConsoleHost::Hooks hooks;
    // The folder each display plays, by display index.
    hooks.displayFolders = [this] {
        QStringList folders;
        for (int i = 0; i < displayControllerCount(); ++i)
            folders.append(m_displays->controller(i)->sourcePath());
        return folders;
    };
    hooks.relaunch = std::move(relaunch);
    hooks.reveal = std::move(reveal);
    m_console = std::make_unique<ConsoleHost>(std::move(hooks));
    m_console->showConsole();
}

void StationSubsystems::raiseConsole()
{
    if (m_console)
        m_console->raiseConsole();
}

void StationSubsystems::showMenuBar(bool show)
{
    if (m_console)
        m_console->setMenuBarVisible(show);
}

bool StationSubsystems::createDisplayController(int index)
{
    if (!m_displays)
        m_displays = std::make_unique<DisplayManager>();
    return m_displays->createDisplayController(index);
}

int StationSubsystems::displayControllerCount() const
{
    return m_displays ? m_displays->count() : 0;
}

void StationSubsystems::startDisplayController(int index)
{
    if (m_displays)
        m_displays->startDisplayController(index);
}

void StationSubsystems::releaseDisplayControllers()
{
    if (m_displays)
        m_displays->releaseDisplayControllers();
}

void StationSubsystems::identifyDisplay(int index)
{
    logLine(lcApp(), QStringLiteral("AppDelegate->identifyDisplay... index = [%1]").arg(index));
    if (m_displays)
        m_displays->identifyScreen(index);
}

BarcodeEntryController *StationSubsystems::barcodeController() const
{
    return findChild<BarcodeEntryController *>();
}

void StationSubsystems::createBarcodeController()
{
    if (barcodeController())
        return;
    new BarcodeEntryController(this);
}

void StationSubsystems::shutdown()
{
    if (auto *controller = barcodeController())
        controller->slideshowFolder().shutdown();
    m_displays.reset();
}

void StationSubsystems::setCurrentBarcode(const QString &code)
{
    if (auto *controller = barcodeController())
        controller->setCurrentBarcode(code);
}

QString StationSubsystems::currentBarcode() const
{
    const auto *controller = barcodeController();
    return controller ? controller->currentBarcode().value_or(QString()) : QString();
}

void StationSubsystems::findKivoFilesWithID(const QString &code)
{
    auto *controller = barcodeController();
    if (!controller)
        return;
    if (code.isEmpty() && !controller->currentBarcode()) {
        logLine(lcApp(),
                QStringLiteral("AppDelegate->findKivoFilesWithID...no current code, no search"));
        return;
    }
    controller->FindKivoFilesWithID(code);
}

void StationSubsystems::setupNotifications()
{
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    if (!center.isConnected())
        center.connectToSessionBus();
    m_distributedObserver = center.addObserver(
        distributedNotification::KivoSlideShowNotification,
        [this](const Notification &notification) { handleDistNotification(notification); });
}

void StationSubsystems::stopNotifications()
{
    m_distributedObserver.reset();
}

void StationSubsystems::handleDistNotification(const Notification &notification)
{
    logLine(lcApp(),
            QStringLiteral("AppDelegate->handleDistNotification... [%1]").arg(notification.name));
    if (Preferences::standard().boolean(QLatin1String(keys::prefDoShoutMode)))
        setCurrentBarcode(QStringLiteral("*"));
    findKivoFilesWithID(currentBarcode());
}

} // namespace kivo
