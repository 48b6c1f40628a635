// The console window, the code list and day selection.

#include "MainWindowController.h"

#include "ConsoleDelegate.h"
#include "ConsoleLog.h"
#include "DaySelection.h"
#include "SelectDisplayWindowController.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/PoolTask.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace kivo {

namespace {
constexpr char kNothingSelected[] = "<Please Select From Above>";

QPushButton *consoleButton(const QString &text, const QString &accessibleName)
{
    auto *button = new QPushButton(text);
    button->setAccessibleName(accessibleName);
    // A click leaves the keyboard focus where it was (on the code list).
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}
} // namespace

MainWindowController::MainWindowController(ConsoleDelegate *delegate, QWidget *parent)
    : QMainWindow(parent), m_delegate(delegate), m_model(new CodeListModel(this))
{
    setWindowTitle(QStringLiteral("Kivo SlideShow"));
    setAccessibleName(QStringLiteral("Kivo SlideShow Console"));
    setObjectName(QStringLiteral("MainWindowController"));
    m_listingPool.setMaxThreadCount(1);
    Preferences &prefs = Preferences::standard();
    m_model->setSortTag(prefs.integer(QLatin1String(keys::prefSortListTag)));

    // Start-up: the console always opens on today's folder.
    prefs.remove(QLatin1String(keys::prefPathToAlternateDateFolder));
    prefs.setValue(QLatin1String(keys::prefSelectedTagForDateFolder), qint64(kTodayTag));

    connect(&m_scanner, &CodeFolderScanner::rowsReady, this, &MainWindowController::rowsListed);
    connect(&m_scanner, &CodeFolderScanner::countsReady, m_model, &CodeListModel::applyCounts);
    connect(&m_scanner, &CodeFolderScanner::finished, this, &MainWindowController::scanFinished);

    buildWindow();
    m_sheet = new SelectDisplayWindowController(this);
    rebuildPopupArrayController();
    observeNotifications();
    ibClickOnTodayFolder();
    m_table->setFocus();
    // The displays started before the console: ask the chosen one how it is.
    QTimer::singleShot(0, this, [this] {
        NotificationCenter::defaultCenter().post(
            notification::RequestSlideShowStatus, {},
            {{notificationKey::screenIndex, chosenDisplayIndex()}});
    });
}

MainWindowController::~MainWindowController()
{
    m_observers.clear();
    m_scanner.stop();
    m_listingPool.clear();
    m_listingPool.waitForDone();
}

void MainWindowController::buildWindow()
{
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);

    layout->addWidget(buildDayChooser());

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
    layout->addWidget(m_table, 3);

    layout->addWidget(buildDisplayBar());

    m_browser = new MyImageBrowserViewController;
    m_browser->setAllowDrop(false);
    m_browser->setAllowItemSelection(false);
    m_browser->setMinimumHeight(160);
    m_browser->setRowsAndColumns(1, 3);
    layout->addWidget(m_browser, 2);

    layout->addWidget(buildButtonBar());
    m_version = new QLabel(versionText());
    m_version->setAccessibleName(QStringLiteral("Version"));
    layout->addWidget(m_version);
    setCentralWidget(central);
    resize(960, 720);
    setButtonOnMainThread(false);
}

QWidget *MainWindowController::buildDayChooser()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_dayPopup = new QComboBox;
    m_dayPopup->addItem(tr("Today's Folder"), kTodayTag);
    m_dayPopup->addItem(tr("Another Day's Folder..."), kOtherDayTag);
    m_dayPopup->setAccessibleName(QStringLiteral("Day Folder"));
    m_dayPopup->setAccessibleDescription(QStringLiteral("Day folder to list"));
    connect(m_dayPopup, &QComboBox::activated, this,
            [this](int i) { ibHandleDailyFolderPopup(m_dayPopup->itemData(i).toInt()); });

    m_stepper = new QSpinBox;
    m_stepper->setRange(0, int(DaySelection::kMaxDaysBack));
    m_stepper->setSuffix(tr(" days back"));
    m_stepper->setAccessibleName(QStringLiteral("Days Back"));
    connect(m_stepper, &QSpinBox::valueChanged, this,
            [this](int value) { ibClickedOnStepperForDate(value); });

    QPushButton *today = consoleButton(tr("Today"), QStringLiteral("Today"));
    connect(today, &QPushButton::clicked, this, &MainWindowController::ibClickOnTodayFolder);

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

    row->addWidget(m_dayPopup);
    row->addWidget(m_stepper);
    row->addWidget(today);
    row->addStretch();
    row->addWidget(m_sortPopup);
    return bar;
}

void MainWindowController::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(
        center.addObserver(notification::SlideShowStatus, [this](const Notification &n) {
            // Displays may post from any thread; the rows and labels live here.
            QMetaObject::invokeMethod(
                this, [this, info = n.userInfo] { handleSlideShowStatusNotification(info); },
                Qt::AutoConnection);
        }));
    m_observers.push_back(
        center.addObserver(notification::testNotification, [this](const Notification &) {
            QMetaObject::invokeMethod(
                this, [this] { rebuildPopupArrayController(); }, Qt::AutoConnection);
        }));
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationInactive)
                    handleApplicationDidResignActive();
            });
    connect(qApp, &QGuiApplication::screenAdded, this,
            &MainWindowController::handleScreenDidChange);
    connect(qApp, &QGuiApplication::screenRemoved, this,
            &MainWindowController::handleScreenDidChange);
    connect(
        &Preferences::standard(), &Preferences::valueChanged, this,
        [this](const QString &key) {
            if (key ==
                QLatin1String(keys::prefDisplayStatus) + QString::number(chosenDisplayIndex() + 1))
                showStatusOfChosenDisplay();
        },
        Qt::QueuedConnection);
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

// --- scan -------------------------------------------------------------------

void MainWindowController::scanFolderAgain()
{
    if (m_insideScanning) {
        logLine(lcConsole(),
                QStringLiteral("Inside MainWindowController => scanFolderAgain...ANOTHER scan "
                               "already in process..."));
        // Scans run off the main thread, so a day changed meanwhile is listed
        // once the running scan is in.
        m_rescanRequested = true;
        return;
    }
    scanFolderAgain2();
}

void MainWindowController::scanFolderAgain2()
{
    const QString root = Preferences::standard().string(QLatin1String(keys::prefSlideShowPath));
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->scanFolderAgain2... no main images folder "
                               "[%1]")
                    .arg(root));
        m_scanner.stop();
        rowsListed({});
        emit scanFinished();
        return;
    }
    m_insideScanning = true;
    m_scanner.start(consoleDayFolderPath());
}

void MainWindowController::rowsListed(QList<CodeEntry> entries)
{
    QStringList codes;
    for (CodeEntry &entry : entries) {
        const QVariant code = entry.row.value(QLatin1String(rowKey::code));
        if (!code.isValid())
            continue;
        codes << code.toString();
        if (m_delegate) {
            const QString status = m_delegate->getSlideshowWindowName(code.toString());
            if (!status.isEmpty())
                entry.row.insert(QLatin1String(rowKey::codeStatus), status);
        }
    }
    logLine(lcConsole(), QStringLiteral("MainWindowController->scanFolderAgain2... %1 rows: %2")
                             .arg(entries.size())
                             .arg(codes.join(QLatin1Char(','))));
    m_table->clearSelection();
    m_model->setEntries(std::move(entries));
    m_insideScanning = false;
    emit scanListed();
    if (std::exchange(m_rescanRequested, false))
        scanFolderAgain();
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
    m_scanner.stop();
    m_insideScanning = false;
    m_rescanRequested = false;
    m_model->clear();
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
    const QString codePath = formPathForCodeNew(m_lastSelectedCode);
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
    PoolTask::start(m_listingPool, [this, codePath] {
        // The folder listing: every visible entry but the description file.
        QStringList response;
        const QFileInfoList infos =
            QDir(codePath).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &info : infos) {
            if (info.suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) != 0)
                response << info.absoluteFilePath();
        }
        QMetaObject::invokeMethod(
            this, [this, codePath, response] { doneSearchOperation(codePath, response); },
            Qt::QueuedConnection);
    });
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
    m_playButton->setEnabled(enable);
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
    QScreen *screen = QGuiApplication::primaryScreen();
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

// --- day selection ------------------------------------------------------------

void MainWindowController::ibClickOnTodayFolder()
{
    DaySelection::resetToToday(Preferences::standard());
    {
        const QSignalBlocker blocker(m_stepper);
        m_stepper->setValue(0);
    }
    m_dayPopup->setCurrentIndex(0);
    ibClickedOnStepperForDate(std::nullopt);
}

void MainWindowController::ibClickedOnStepperForDate(std::optional<int> stepperValue)
{
    Preferences &prefs = Preferences::standard();
    const qint64 daysBack = stepperValue ? qint64(*stepperValue)
                                         : prefs.integer(QLatin1String(keys::prefDayStepperValue));
    prefs.setValue(QLatin1String(keys::prefDayStepperValue), DaySelection::clampDaysBack(daysBack));
    const DaySelection::Choice choice = DaySelection::stepTo(daysBack, businessInstant(), prefs);
    switch (choice.outcome) {
    case DaySelection::Outcome::Today:
    case DaySelection::Outcome::OtherDay:
        reloadAllData();
        break;
    case DaySelection::Outcome::OtherMissing:
        QApplication::beep();
        emptyListAndBrowser();
        break;
    case DaySelection::Outcome::TodayMissing:
        emptyListAndBrowser();
        break;
    }
}

void MainWindowController::ibHandleDailyFolderPopup(int tag)
{
    Preferences &prefs = Preferences::standard();
    prefs.setValue(QLatin1String(keys::prefSelectedTagForDateFolder), qint64(tag));
    if (tag == kTodayTag) {
        prefs.remove(QLatin1String(keys::prefPathToAlternateDateFolder));
        reloadAllData();
        return;
    }
    const QString root = prefs.string(QLatin1String(keys::prefSlideShowPath));
    if (tag != kOtherDayTag || root.isEmpty())
        return;
    auto *chooser =
        new QFileDialog(this, QStringLiteral("Please Select Another Day's Folder"), root);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowModality(Qt::WindowModal);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    chooser->setAccessibleName(QStringLiteral("Please Select Another Day's Folder"));
    connect(chooser, &QFileDialog::fileSelected, this, [this](const QString &folder) {
        if (folder.isEmpty())
            return;
        Preferences::standard().setValue(QLatin1String(keys::prefPathToAlternateDateFolder),
                                         folder);
        reloadAllData();
    });
    chooser->open();
}

void MainWindowController::handleApplicationDidResignActive()
{
    ibClickOnTodayFolder();
}

} // namespace kivo
