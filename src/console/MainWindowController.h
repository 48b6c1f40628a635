#pragma once

#include "CodeList.h"
#include "DaySelector.h"
#include "DisplayBar.h"

#include <QMainWindow>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace kivo {

class ConsoleDelegate;
class MyImageBrowserViewController;
class SelectDisplayWindowController;

// The operator console: the day selector, the day's codes with their rooms,
// photo counts and dates, the display bar, the selected code's photos and the
// button bar. It lists the chosen day and plays, pauses or reassigns the
// selected code; the day selector and the display bar do the rest, and their
// operations are reachable from here too.
class MainWindowController : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kTodayTag = DaySelector::kTodayTag;
    static constexpr int kOtherDayTag = DaySelector::kOtherDayTag;

    explicit MainWindowController(ConsoleDelegate *delegate = nullptr, QWidget *parent = nullptr);

    // Code list.
    void scanFolderAgain();
    void reloadAllData();
    void doRefreshButton();
    void doClickOnTableView();
    void doneSearchOperation(const QString &codePath, const QStringList &response);
    void setButtonOnMainThread(bool enable);
    void doClickOnChangeSortMethod(int tag);
    // Centres the console on its screen (display 0's monitor when pinned,
    // else the primary screen) unless it lies within it already.
    void centerToMainScreen();

    // Day selection (the day selector's).
    void ibClickOnTodayFolder() { m_daySelector->ibClickOnTodayFolder(); }
    void ibClickedOnStepperForDate(std::optional<int> stepperValue)
    {
        m_daySelector->ibClickedOnStepperForDate(stepperValue);
    }
    void ibHandleDailyFolderPopup(int tag) { m_daySelector->ibHandleDailyFolderPopup(tag); }
    void handleApplicationDidResignActive() { m_daySelector->handleApplicationDidResignActive(); }

    // Displays (the display bar's, but for playing the selected code).
    void rebuildPopupArrayController() { m_displayBar->rebuildPopupArrayController(); }
    void doSetupDisplayPopup(bool fromPopup) { m_displayBar->doSetupDisplayPopup(fromPopup); }
    void doDoubleClickOnTableView(int clickedRow = -1);
    void doToggleSlideShow() { m_displayBar->doToggleSlideShow(); }
    void doTestButton() { m_displayBar->doTestButton(); }
    void handleSlideShowStatusNotification(const QVariantMap &userInfo)
    {
        m_displayBar->handleSlideShowStatusNotification(userInfo);
    }
    void handleScreenDidChange() { m_displayBar->handleScreenDidChange(); }
    int chosenDisplayIndex() const { return m_displayBar->chosenDisplayIndex(); }

    // Demo slides, reassignment hand-over, parent application.
    void doDemoSlides();
    bool validateDemoFolder(const QVariantMap &demoParameters);
    void doChangeCode();
    void returnToMain();

    // State, for the delegate and for tests.
    CodeListModel *model() const { return m_model; }
    QTableView *customerTableView() const { return m_table; }
    DisplayBar *displayBar() const { return m_displayBar; }
    QComboBox *displayPopup() const { return m_displayBar->displayPopup(); }
    QLabel *statusLine() const { return m_displayBar->statusLine(); }
    QPushButton *playButton() const { return m_displayBar->playButton(); }
    MyImageBrowserViewController *imageBrowser() const { return m_browser; }
    SelectDisplayWindowController *selectDisplayWindowController() const
    {
        return m_displayBar->selectDisplayWindowController();
    }
    // Rows or counts of a scan are still coming.
    bool isScanRunning() const { return m_codeList->isScanRunning(); }
    QString versionText() const;

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
    QWidget *buildDayRow();
    QTableView *buildTable();
    void emptyListAndBrowser();
    void clearSelectionAndBrowser();
    void selectFirstRow();
    void listCodeFolder(const QString &codePath);
    bool tableHasFocus() const;
    int selectedRow() const;
    void showSheetAlert(const QString &title, const QString &text);

    ConsoleDelegate *m_delegate;
    CodeList *m_codeList;
    CodeListModel *m_model;
    DaySelector *m_daySelector = nullptr;
    QTableView *m_table = nullptr;
    QComboBox *m_sortPopup = nullptr;
    DisplayBar *m_displayBar = nullptr;
    QPushButton *m_reassignButton = nullptr;
    MyImageBrowserViewController *m_browser = nullptr;
    QString m_lastSelectedCode = QStringLiteral("xxxxxxx");
    QString m_listingPath;
};

} // namespace kivo
