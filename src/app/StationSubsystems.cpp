#include "StationSubsystems.h"

#include "AppLog.h"
#include "ConsoleHost.h"
#include "KIVOApplication.h"
#include "PreferencesWindow.h"
#include "console/MainWindowController.h"
#include "customer/BarcodeEntryController.h"
#include "customer/ScannerKeySource.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/slideShowWindowController.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

#include <QApplication>

namespace kivo {

StationSubsystems::StationSubsystems(QObject *parent) : QObject(parent) {}

StationSubsystems::~StationSubsystems() = default;

void StationSubsystems::createConsole(std::function<void()> relaunch)
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
    hooks.openPrefs = [this](QWidget *over) { openPreferences(over); };
    hooks.identifyScreen = [this](int index) { identifyDisplay(index); };
    hooks.stopSlideShow = [this](int index) { stopDisplay(index); };
    m_console = std::make_unique<ConsoleHost>(std::move(hooks));
    m_console->showConsole();
}

void StationSubsystems::openPreferences(QWidget *over)
{
    if (m_prefs && m_prefs->isVisible()) {
        m_prefs->raise();
        m_prefs->activateWindow();
        return;
    }
    if (QApplication::activeModalWidget()) {
        logLine(lcApp(), QStringLiteral("AppDelegate->openPrefs... a sheet is open, not now"));
        QApplication::beep();
        return;
    }
    if (!m_prefs) {
        m_prefs = new PreferencesWindow(over ? over->window() : nullptr);
        connect(m_prefs.data(), &PreferencesWindow::revealRequested, this,
                &StationSubsystems::revealRequested);
    }
    m_prefs->openPrefs(over ? over->window() : nullptr);
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
    if (!m_displays) {
        m_displays = std::make_unique<DisplayManager>();
        connect(m_displays.get(), &DisplayManager::displaysRearranged, this,
                &StationSubsystems::displaysRearranged);
    }
    return m_displays->createDisplayController(index);
}

// Display 0 is shown again when a screen goes: the console stays above it,
// and keeps the keyboard (a window manager lifts a focused display window that
// fills its screen above every other).
void StationSubsystems::displaysRearranged()
{
    if (m_console && m_console->console())
        m_console->console()->centerToMainScreen();
    if (KIVOApplication *app = KIVOApplication::instance())
        app->activateIgnoringOtherApps();
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

void StationSubsystems::stopDisplay(int index)
{
    logLine(lcApp(), QStringLiteral("AppDelegate->doStopSlideShow... index = [%1]").arg(index));
    if (m_displays)
        m_displays->stopSlideShow(index);
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
    new ScannerKeySource(this);
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

QString StationSubsystems::customerWorkingFolder() const
{
    auto *controller = barcodeController();
    return controller ? controller->slideshowFolder().workingFolder() : QString();
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
        distributedNotification::KivoSlideShowNotification, this,
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
