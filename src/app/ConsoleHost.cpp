#include "ConsoleHost.h"

#include "WindowStacking.h"
#include "browser/MyImageBrowserViewController.h"
#include "console/DisplayChooser.h"
#include "console/MainWindowController.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "reassign/ReAssignCodeWindowController.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QListView>
#include <QMenuBar>
#include <QTableView>
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
    connect(m_console.data(), &MainWindowController::reassignRequested, this,
            &ConsoleHost::openReassignment);
}

void ConsoleHost::openReassignment(QVariantMap params)
{
    MainWindowController *console = m_console.data();
    QVariantList rows;
    for (int row = 0; row < console->model()->rowCount(); ++row) {
        QVariantMap entry = console->model()->rowAt(row);
        entry.insert(QStringLiteral("folderPath"), console->model()->codeFolderAt(row));
        rows << entry;
    }
    params.insert(QStringLiteral("arraycontroller"), rows);
    ReAssignCodeWindowController::openSheet(console, params, [console = m_console](int result) {
        reassignmentDidEnd(console, result);
    });
}

// After a reassignment the list is scanned again and the same row position is
// shown again once the rows are back; any other end changes nothing.
void ConsoleHost::reassignmentDidEnd(QPointer<MainWindowController> console, int result)
{
    if (!console)
        return;
    console->imageBrowser()->imageBrowser()->clearSelection();
    const int row = console->customerTableView()->currentIndex().row();
    if (result != ReAssignCodeWindowController::kReassigned)
        return;
    console->reloadAllData();
    if (row < 0)
        return;
    connect(
        console.data(), &MainWindowController::scanListed, console.data(),
        [console, row] {
            if (!console || row >= console->model()->rowCount())
                return;
            console->customerTableView()->selectRow(row);
            console->doClickOnTableView();
        },
        Qt::SingleShotConnection);
}

ConsoleHost::~ConsoleHost()
{
    delete m_console.data();
}

MainWindowController *ConsoleHost::console() const
{
    return m_console.data();
}

void ConsoleHost::showConsole()
{
    // Above other programs from the first show: changing the flags of a shown
    // window maps it anew, and keys typed meanwhile go elsewhere.
    m_console->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_console->show();
    QTimer::singleShot(200, m_console.data(), &MainWindowController::centerToMainScreen);
}

void ConsoleHost::raiseConsole()
{
    if (!m_console)
        return;
    m_console->centerToMainScreen();
    WindowStacking::restack();
    QWidget *sheet = QApplication::activeModalWidget();
    (sheet ? sheet : m_console.data())->activateWindow();
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
    if (m_hooks.openPrefs)
        m_hooks.openPrefs(m_console);
}

void ConsoleHost::relaunchApp()
{
    if (m_hooks.relaunch)
        m_hooks.relaunch();
}

void ConsoleHost::doIdentifyAll()
{
    if (m_hooks.identifyScreen)
        m_hooks.identifyScreen(-1);
}

void ConsoleHost::doIdentify(int tag)
{
    if (tag != 0 && m_hooks.identifyScreen)
        m_hooks.identifyScreen(tag - 1);
}

void ConsoleHost::doStopSlideShow(int tag)
{
    if (m_hooks.stopSlideShow)
        m_hooks.stopSlideShow(tag - 1);
}

void ConsoleHost::showMenu()
{
    if (m_console)
        setMenuBarVisible(!m_console->menuBar()->isVisible());
}

} // namespace kivo
