// Start-up stages and actions that belong to the subsystems the delegate owns:
// the display controllers, the operator console, the photo search and the
// barcode entry. Each is called at its fixed place in the start-up; each
// subsystem fills in its own here when it joins the station.

#include "AppDelegate.h"

#include "AppLog.h"
#include "ConsoleHost.h"
#include "customer/BarcodeEntryController.h"
#include "platform/Log.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/slideShowWindowController.h"

#include <QCoreApplication>

namespace kivo {

// applicationWillFinishLaunching stage 10 (console mode only): the operator
// console, centred on the main screen 0.2 s later.
void AppDelegate::createConsole()
{
    recordStage(QStringLiteral("createConsole"));
    ConsoleHost::Hooks hooks;
    // The folder each display plays, by display index.
    hooks.displayFolders = [this] {
        QStringList folders;
        for (int i = 0; i < displayControllerCount(); ++i)
            folders.append(m_displays->controller(i)->sourcePath());
        return folders;
    };
    hooks.relaunch = [this] { relaunchApp(QVariant()); };
    hooks.reveal = [this](int tag) { doRevealInFinder(tag); };
    m_console = std::make_shared<ConsoleHost>(std::move(hooks));
    m_console->showConsole();
}

// setupWindowControllers: one display controller per screen, index i.
// True when the controller was created and appended.
bool AppDelegate::createDisplayController(int index)
{
    if (!m_displays)
        m_displays = std::make_unique<DisplayManager>();
    return m_displays->createDisplayController(index);
}

int AppDelegate::displayControllerCount() const
{
    return m_displays ? m_displays->count() : 0;
}

// startSequence(-1): starts display controller `index`.
void AppDelegate::startDisplayController(int index)
{
    if (m_displays)
        m_displays->startDisplayController(index);
}

// setupWindowControllers and applicationWillTerminate: releases every display
// controller; each stops and waits for its workers.
void AppDelegate::releaseDisplayControllers()
{
    if (m_displays)
        m_displays->releaseDisplayControllers();
}

// identifyScreen: shows display `index`'s identify overlay.
void AppDelegate::identifyDisplay(int index)
{
    logLine(lcApp(), QStringLiteral("AppDelegate->identifyDisplay... index = [%1]").arg(index));
    if (m_displays)
        m_displays->identifyScreen(index);
}

// applicationDidFinishLaunching stage 4: the barcode entry controller, a
// child of the delegate. Its preparation worker stops when the event loop ends.
void AppDelegate::createBarcodeController()
{
    recordStage(QStringLiteral("createBarcodeController"));
    if (findChild<BarcodeEntryController *>())
        return;
    auto *controller = new BarcodeEntryController(this);
    if (auto *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, controller,
                [controller] { controller->slideshowFolder().shutdown(); });
    }
}

void AppDelegate::setCurrentBarcode(const QString &code)
{
    if (auto *controller = findChild<BarcodeEntryController *>())
        controller->setCurrentBarcode(code);
}

QString AppDelegate::currentBarcode() const
{
    const auto *controller = findChild<BarcodeEntryController *>();
    return controller ? controller->currentBarcode().value_or(QString()) : QString();
}

// First search at start-up and the search again on "KivoSlideShowNotification".
// Without a current code there is nothing to search again.
void AppDelegate::findKivoFilesWithID(const QString &code)
{
    auto *controller = findChild<BarcodeEntryController *>();
    if (!controller)
        return;
    if (code.isEmpty() && !controller->currentBarcode()) {
        logLine(lcApp(),
                QStringLiteral("AppDelegate->findKivoFilesWithID...no current code, no search"));
        return;
    }
    controller->FindKivoFilesWithID(code);
}

// applicationWillBecomeActive: the console to the front, floating, centred.
void AppDelegate::raiseConsole()
{
    if (m_console)
        m_console->raiseConsole();
}

// setupWindowControllers: prefDoShowMenuBar; the menu bar is the console's.
void AppDelegate::showMenuBar(bool show)
{
    if (m_console)
        m_console->setMenuBarVisible(show);
}

} // namespace kivo
