#pragma once

#include "CodeFolderScanner.h"
#include "CodeListModel.h"
#include "DisplayChooser.h"
#include "platform/NotificationCenter.h"

#include <QMainWindow>
#include <QPointer>
#include <QThreadPool>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace kivo {

class ConsoleDelegate;
class MyImageBrowserViewController;
class SelectDisplayWindowController;

// The operator console: the day's codes with their rooms, photo counts and
// dates; the display chooser and its status line; playing a code or the demo
// folder on a display; day selection; the selected code's photos.
class MainWindowController : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kTodayTag = 0;
    static constexpr int kOtherDayTag = 101;

    explicit MainWindowController(ConsoleDelegate *delegate = nullptr, QWidget *parent = nullptr);
    ~MainWindowController() override;

    // Code list.
    void scanFolderAgain();
    void reloadAllData();
    void doRefreshButton();
    void doClickOnTableView();
    void doneSearchOperation(const QString &codePath, const QStringList &response);
    void setButtonOnMainThread(bool enable);
    void doClickOnChangeSortMethod(int tag);
    void centerToMainScreen();

    // Day selection.
    void ibClickOnTodayFolder();
    void ibClickedOnStepperForDate(std::optional<int> stepperValue);
    void ibHandleDailyFolderPopup(int tag);
    void handleApplicationDidResignActive();

    // Displays.
    void rebuildPopupArrayController();
    void doSetupDisplayPopup(bool fromPopup);
    void doDoubleClickOnTableView(int clickedRow = -1);
    void doToggleSlideShow();
    void doTestButton();
    void handleSlideShowStatusNotification(const QVariantMap &userInfo);
    void handleScreenDidChange();
    int chosenDisplayIndex() const;

    // Demo slides, reassignment hand-over, parent application.
    void doDemoSlides();
    bool validateDemoFolder(const QVariantMap &demoParameters);
    void doChangeCode();
    void returnToMain();

    // State, for the delegate and for tests.
    CodeListModel *model() const { return m_model; }
    QTableView *customerTableView() const { return m_table; }
    QComboBox *displayPopup() const { return m_popup; }
    QLabel *statusLine() const { return m_status; }
    QPushButton *playButton() const { return m_playButton; }
    QPushButton *reassignButton() const { return m_reassignButton; }
    MyImageBrowserViewController *imageBrowser() const { return m_browser; }
    SelectDisplayWindowController *selectDisplayWindowController() const { return m_sheet; }
    QString lastSelectedCode() const { return m_lastSelectedCode; }
    bool isInsideScanning() const { return m_insideScanning; }
    // Rows or counts of a scan are still coming.
    bool isScanRunning() const { return m_insideScanning || m_scanner.isRunning(); }
    QString versionText() const;
    // Launches the parent application's desktop entry; false when it cannot.
    static bool launchDesktopEntry(const QString &desktopId);

signals:
    // A scan's rows are listed (counts may still be coming).
    void scanListed();
    // Every photo count of the last scan is shown.
    void scanFinished();
    // The reassignment window is to open with these parameters
    // ("oldcode", "imageslist", "currentinfo").
    void reassignRequested(const QVariantMap &params);

private:
    void buildWindow();
    QWidget *buildDayChooser();
    QWidget *buildDisplayBar();
    QWidget *buildButtonBar();
    void observeNotifications();
    void scanFolderAgain2();
    void rowsListed(QList<CodeEntry> entries);
    void emptyListAndBrowser();
    void clearSelectionAndBrowser();
    void listCodeFolder(const QString &codePath);
    void showStatusOfChosenDisplay();
    bool tableHasFocus() const;
    int selectedRow() const;
    void showSheetAlert(const QString &title, const QString &text);

    ConsoleDelegate *m_delegate;
    CodeListModel *m_model;
    CodeFolderScanner m_scanner;
    QThreadPool m_listingPool;
    QTableView *m_table = nullptr;
    QComboBox *m_popup = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_version = nullptr;
    QComboBox *m_dayPopup = nullptr;
    QSpinBox *m_stepper = nullptr;
    QComboBox *m_sortPopup = nullptr;
    QPushButton *m_playButton = nullptr;
    QPushButton *m_reassignButton = nullptr;
    MyImageBrowserViewController *m_browser = nullptr;
    SelectDisplayWindowController *m_sheet = nullptr;
    QList<DisplayEntry> m_displayEntries;
    QString m_lastSelectedCode = QStringLiteral("xxxxxxx");
    QString m_listingPath;
    bool m_insideScanning = false;
    bool m_rescanRequested = false;
    std::vector<ObserverToken> m_observers;
};

} // namespace kivo
