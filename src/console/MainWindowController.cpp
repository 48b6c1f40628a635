#include "MainWindowController.h"

#include "ConsoleButtonBar.h"
#include "ConsoleLog.h"
#include "DemoSlides.h"
#include "DesktopEntryLauncher.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/DisplayOutputs.h"
#include "station/PrefKeys.h"
#include "util/Async.h"
#include "util/WorkerPool.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace kivo {

namespace {
constexpr char kNothingSelected[] = "<Please Select From Above>";

// A code folder's listing: every visible entry but the description file.
QStringList listCodeFolderEntries(const QString &codePath)
{
    QStringList entries;
    const QFileInfoList infos =
        QDir(codePath).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : infos) {
        if (info.suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) != 0)
            entries << info.absoluteFilePath();
    }
    return entries;
}
} // namespace

MainWindowController::MainWindowController(ConsoleDelegate *delegate, QWidget *parent)
    : QMainWindow(parent), m_delegate(delegate), m_codeList(new CodeList(delegate, this)),
      m_model(m_codeList->model())
{
    setWindowTitle(QStringLiteral("Kivo SlideShow"));
    setAccessibleName(QStringLiteral("Kivo SlideShow Console"));
    setObjectName(QStringLiteral("MainWindowController"));
    Preferences &prefs = Preferences::standard();
    // Start-up: the console always opens on today's folder.
    prefs.remove(QLatin1String(keys::prefPathToAlternateDateFolder));
    prefs.setValue(QLatin1String(keys::prefSelectedTagForDateFolder), qint64(kTodayTag));

    connect(m_codeList, &CodeList::aboutToList, this, [this] { m_table->clearSelection(); });
    connect(m_codeList, &CodeList::scanListed, this, &MainWindowController::scanListed);
    connect(m_codeList, &CodeList::scanFinished, this, &MainWindowController::scanFinished);
    connect(m_codeList, &CodeList::mainFolderRefused, this, [this](const QString &why) {
        showSheetAlert(QStringLiteral("NO MAIN IMAGES FOLDER"), why);
    });

    buildWindow();
    // Start-up shows the first row's photos once the first scan has listed it.
    connect(m_codeList, &CodeList::scanListed, this, &MainWindowController::selectFirstRow,
            Qt::SingleShotConnection);
    ibClickOnTodayFolder();
    m_table->setFocus();
}

void MainWindowController::selectFirstRow()
{
    if (m_model->rowCount() > 0 && selectedRow() < 0)
        m_table->selectRow(0);
}

void MainWindowController::buildWindow()
{
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(buildDayRow());
    layout->addWidget(buildTable(), 3);

    m_displayBar = new DisplayBar(this, m_delegate);
    connect(m_displayBar, &DisplayBar::playClicked, this, [this] { doDoubleClickOnTableView(); });
    connect(m_displayBar, &DisplayBar::demoClicked, this, &MainWindowController::doDemoSlides);
    connect(m_displayBar, &DisplayBar::codeStatusReported, m_model,
            &CodeListModel::updateCodeStatus);
    layout->addWidget(m_displayBar);

    m_browser = new MyImageBrowserViewController;
    m_browser->setAllowDrop(false);
    m_browser->setAllowItemSelection(false);
    m_browser->setMinimumHeight(160);
    m_browser->setRowsAndColumns(1, 3);
    layout->addWidget(m_browser, 2);

    auto *buttons = new ConsoleButtonBar(m_delegate);
    m_reassignButton = buttons->reassignButton();
    connect(buttons, &ConsoleButtonBar::reassignClicked, this, &MainWindowController::doChangeCode);
    connect(buttons, &ConsoleButtonBar::refreshClicked, this,
            &MainWindowController::doRefreshButton);
    connect(buttons, &ConsoleButtonBar::returnToMainClicked, this,
            &MainWindowController::returnToMain);
    layout->addWidget(buttons);
    auto *version = new QLabel(versionText());
    version->setAccessibleName(QStringLiteral("Version"));
    layout->addWidget(version);
    setCentralWidget(central);
    resize(960, 720);
    setButtonOnMainThread(false);
}

QWidget *MainWindowController::buildDayRow()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_daySelector = new DaySelector;
    connect(m_daySelector, &DaySelector::dayChosen, this, &MainWindowController::reloadAllData);
    connect(m_daySelector, &DaySelector::dayMissing, this,
            &MainWindowController::emptyListAndBrowser);

    m_sortPopup = new QComboBox;
    m_sortPopup->addItem(tr("Sort by Code"), 1);
    m_sortPopup->addItem(tr("Sort by Last Change"), 2);
    m_sortPopup->addItem(tr("Sort by Creation"), 3);
    m_sortPopup->setAccessibleName(QStringLiteral("Sort Order"));
    m_sortPopup->setAccessibleDescription(QStringLiteral("Order of the code list"));
    const int sortIndex = m_sortPopup->findData(int(m_model->sortTag()));
    m_sortPopup->setCurrentIndex(sortIndex < 0 ? 0 : sortIndex);
    connect(m_sortPopup, &QComboBox::activated, this,
            [this](int i) { doClickOnChangeSortMethod(m_sortPopup->itemData(i).toInt()); });

    row->addWidget(m_daySelector);
    row->addStretch();
    row->addWidget(m_sortPopup);
    return bar;
}

QTableView *MainWindowController::buildTable()
{
    m_table = new QTableView;
    m_table->setAccessibleName(QStringLiteral("Codes"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionsClickable(false);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { doClickOnTableView(); });
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { doDoubleClickOnTableView(index.row()); });
    return m_table;
}

QString MainWindowController::versionText() const
{
    QString text = QCoreApplication::applicationVersion().isEmpty()
                       ? QStringLiteral("Unknown Version")
                       : QStringLiteral("Version: %1").arg(QCoreApplication::applicationVersion());
#if defined(__VERSION__)
    text += QStringLiteral(" [xc-%1 sdk-Qt %2]")
                .arg(QString::fromLatin1(__VERSION__), QString::fromLatin1(qVersion()));
#endif
    return text;
}

// --- code list ----------------------------------------------------------------

void MainWindowController::scanFolderAgain()
{
    m_codeList->scanFolderAgain();
}

void MainWindowController::reloadAllData()
{
    scanFolderAgain();
    clearSelectionAndBrowser();
}

void MainWindowController::clearSelectionAndBrowser()
{
    m_table->clearSelection();
    m_table->setCurrentIndex({});
    setButtonOnMainThread(false);
    m_lastSelectedCode = QLatin1String(kNothingSelected);
    m_listingPath.clear();
    m_browser->removeImages();
}

void MainWindowController::emptyListAndBrowser()
{
    m_codeList->clear();
    clearSelectionAndBrowser();
}

void MainWindowController::doRefreshButton()
{
    centerToMainScreen();
    scanFolderAgain();
}

// --- selection ----------------------------------------------------------------

int MainWindowController::selectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        return rows.first().row();
    return -1;
}

void MainWindowController::doClickOnTableView()
{
    const int row = selectedRow();
    if (row < 0) {
        clearSelectionAndBrowser();
        return;
    }
    const QVariantMap info = m_model->rowAt(row);
    m_lastSelectedCode = info.value(QLatin1String(rowKey::code)).toString();
    const QString codePath = m_model->codeFolderAt(row);
    if (codePath.isEmpty()) {
        // A row without a code has no folder to show.
        setButtonOnMainThread(false);
        m_listingPath.clear();
        m_browser->removeImages();
        return;
    }
    listCodeFolder(codePath);
}

void MainWindowController::listCodeFolder(const QString &codePath)
{
    m_listingPath = codePath;
    Async::run(
        WorkerPool::shared(), this, [codePath] { return listCodeFolderEntries(codePath); },
        [this, codePath](const QStringList &response) { doneSearchOperation(codePath, response); });
}

void MainWindowController::doneSearchOperation(const QString &codePath, const QStringList &response)
{
    if (codePath != m_listingPath)
        return; // an older selection's answer
    setButtonOnMainThread(!response.isEmpty());
    m_browser->addImages(response);
}

void MainWindowController::setButtonOnMainThread(bool enable)
{
    m_displayBar->playButton()->setEnabled(enable);
    m_reassignButton->setEnabled(enable);
}

void MainWindowController::doClickOnChangeSortMethod(int tag)
{
    Preferences::standard().setValue(QLatin1String(keys::prefSortListTag), qint64(tag));
    const QString selectedFolder = m_model->folderPathAt(selectedRow());
    m_model->setSortTag(tag);
    const int position = m_model->positionOfFolder(selectedFolder);
    if (position >= 0)
        m_table->selectRow(position);
}

void MainWindowController::centerToMainScreen()
{
    QScreen *screen = DisplayOutputs::consoleScreen();
    if (!screen)
        return;
    const QRect visible = screen->availableGeometry();
    const QRect frame = frameGeometry();
    if (visible.contains(frame))
        return;
    move(visible.x() + (visible.width() - frame.width()) / 2,
         visible.y() + (visible.height() - frame.height()) / 2);
    update();
}

// --- play, demo slides -----------------------------------------------------------

bool MainWindowController::tableHasFocus() const
{
    return m_table->hasFocus() || window()->focusWidget() == m_table;
}

void MainWindowController::doDoubleClickOnTableView(int clickedRow)
{
    if (!tableHasFocus()) {
        logLine(lcConsole(), QStringLiteral("ibTableView is NOT the firstResponder..."));
        QApplication::beep();
    }
    if (QGuiApplication::screens().size() < 2)
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->doDoubleClickOnTableView... fewer than two "
                               "screens attached"));
    const int row = clickedRow >= 0 ? clickedRow : selectedRow();
    if (row < 0 || row >= m_model->rowCount()) {
        logLine(lcConsole(), QStringLiteral("ibTableView - Nothing Selected..."));
        QApplication::beep();
        return;
    }
    const QVariantMap info = m_model->rowAt(row);
    const QString code = info.value(QLatin1String(rowKey::code)).toString();
    const QString codePath = m_model->codeFolderAt(row);
    if (codePath.isEmpty()) {
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->doDoubleClickOnTableView... row %1 has no "
                               "code")
                    .arg(row));
        QApplication::beep();
        return;
    }
    if (CodeListModel::qtyOf(info) < 1) {
        logLine(lcConsole(), QStringLiteral("No Images for this code=%1").arg(code));
        QApplication::beep();
        return;
    }
    m_displayBar->playFolder(info, codePath);
}

void MainWindowController::doDemoSlides()
{
    if (!tableHasFocus()) {
        logLine(lcConsole(), QStringLiteral("ibTableView is NOT the firstResponder..."));
        QApplication::beep();
        return;
    }
    if (QGuiApplication::screens().size() < 2)
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->doDemoSlides... fewer than two screens "
                               "attached"));
    validateDemoFolder(DemoSlides::demoParameters(Preferences::standard()));
}

bool MainWindowController::validateDemoFolder(const QVariantMap &demoParameters)
{
    const QString folder = demoParameters.value(QStringLiteral("sourcepath")).toString();
    if (DemoSlides::demoPictures(folder).isEmpty()) {
        showSheetAlert(DemoSlides::noImagesTitle(), DemoSlides::noImagesText(folder));
        return false;
    }
    m_displayBar->playFolder(demoParameters, folder);
    return true;
}

// The headline is the alert's text too: without a window manager there is no
// title bar to show it.
void MainWindowController::showSheetAlert(const QString &title, const QString &text)
{
    auto *alert = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::Ok, this);
    alert->setInformativeText(text);
    alert->setTextFormat(Qt::PlainText); // both texts may carry codes and folder names
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAccessibleName(title);
    alert->button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    alert->button(QMessageBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    alert->open();
}

// --- reassignment hand-over, parent application ------------------------------------

void MainWindowController::doChangeCode()
{
    const int row = selectedRow();
    const QVariantMap info = m_model->rowAt(row);
    if (row < 0 || !info.contains(QLatin1String(rowKey::code))) {
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->doChangeCode... no code selected"));
        QApplication::beep();
        return;
    }
    const QStringList images = m_browser->imagePaths();
    if (images.isEmpty()) {
        showSheetAlert(
            QStringLiteral("Please Select a Code that has at least one image..."),
            QStringLiteral("There is no image for this code = %1").arg(m_lastSelectedCode));
        return;
    }
    emit reassignRequested({{QStringLiteral("oldcode"), m_lastSelectedCode},
                            {QStringLiteral("oldfolder"), m_model->codeFolderAt(row)},
                            {QStringLiteral("imageslist"), images},
                            {QStringLiteral("currentinfo"), info}});
}

void MainWindowController::returnToMain()
{
    DesktopEntryLauncher::openOrActivate(
        Preferences::standard().string(QLatin1String(keys::prefParentAppBundleId)), this);
}

} // namespace kivo
