#include "ConsoleHost.h"

#include "PreferencesWindow.h"
#include "PrefKeys.h"
#include "console/DisplayChooser.h"
#include "console/MainWindowController.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QMenuBar>
#include <QTimer>

namespace kivo {

ConsoleHost::ConsoleHost(Hooks hooks, QObject *parent) : QObject(parent), m_hooks(std::move(hooks))
{
    m_console = new MainWindowController(this);
    m_console->setAttribute(Qt::WA_DeleteOnClose, false);
    QMenuBar *bar = m_console->menuBar();
    QMenu *station = bar->addMenu(tr("&Station"));
    station->addAction(tr("Preferences..."), this, &ConsoleHost::openPrefs);
    station->addAction(tr("Refresh"), m_console.data(), &MainWindowController::doRefreshButton);
    station->addAction(tr("Relaunch"), this, &ConsoleHost::relaunchApp);
    bar->setVisible(Preferences::standard().boolean(QLatin1String(keys::prefDoShowMenuBar)));
}

ConsoleHost::~ConsoleHost()
{
    delete m_prefs.data();
    delete m_console.data();
}

MainWindowController *ConsoleHost::console() const
{
    return m_console.data();
}

void ConsoleHost::showConsole()
{
    m_console->show();
    QTimer::singleShot(200, m_console.data(), &MainWindowController::centerToMainScreen);
}

void ConsoleHost::raiseConsole()
{
    if (!m_console)
        return;
    if (!(m_console->windowFlags() & Qt::WindowStaysOnTopHint)) {
        m_console->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        m_console->show(); // changing the flags hides a window
    }
    m_console->raise();
    m_console->activateWindow();
    m_console->centerToMainScreen();
}

void ConsoleHost::setMenuBarVisible(bool visible)
{
    if (m_console)
        m_console->menuBar()->setVisible(visible);
}

QString ConsoleHost::getSlideshowWindowName(const QString &code)
{
    const QStringList folders = m_hooks.displayFolders ? m_hooks.displayFolders() : QStringList();
    return DisplayChooser::slideshowWindowName(code, folders, Preferences::standard());
}

void ConsoleHost::openPrefs()
{
    if (!m_prefs) {
        m_prefs = new PreferencesWindow(m_console);
        if (m_hooks.reveal)
            connect(m_prefs.data(), &PreferencesWindow::revealRequested, this,
                    [this](int tag) { m_hooks.reveal(tag); });
    }
    m_prefs->openPrefs(m_console);
}

void ConsoleHost::relaunchApp()
{
    if (m_hooks.relaunch)
        m_hooks.relaunch();
}

void ConsoleHost::showMenu()
{
    if (m_console)
        setMenuBarVisible(!m_console->menuBar()->isVisible());
}

} // namespace kivo
