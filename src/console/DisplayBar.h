#pragma once

#include "DisplayChooser.h"
#include "platform/NotificationCenter.h"

#include <QWidget>

#include <vector>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QScreen;

namespace kivo {

class ConsoleDelegate;
class SelectDisplayWindowController;

// The console's display bar: the display chooser, the controls that act on
// the chosen display (Play, Pause / Resume, Next Slide, Identify, Demo
// Slides), its status line, and the controls for every display (Identify
// All, Stop All). It keeps the chooser in step with the attached screens,
// their geometry and the room names, and the status line with
// "SlideShowStatus", and asks a newly chosen display how it is. Play and Demo
// Slides need the console's code list, so the bar only reports their clicks;
// controls that just tell the chosen display something post to its
// "screenIndex" from here (postToChosenDisplay); identify and stop go to the
// delegate (nothing without one).
class DisplayBar : public QWidget
{
    Q_OBJECT
public:
    // window: the console window, parent of the bar and of its confirmation sheet.
    explicit DisplayBar(QWidget *window, ConsoleDelegate *delegate = nullptr);

    void rebuildPopupArrayController();
    void doSetupDisplayPopup(bool fromPopup);
    void handleSlideShowStatusNotification(const QVariantMap &userInfo);
    void handleScreenDidChange();
    void doToggleSlideShow();
    void doTestButton();
    int chosenDisplayIndex() const;

    // Plays folder on the chosen display, or opens the confirmation sheet
    // showing info (a code row or the demo parameters) when
    // prefConfirmRoomBeforeStartingSlideshow is set.
    void playFolder(const QVariantMap &info, const QString &folder);

    QComboBox *displayPopup() const { return m_popup; }
    QLabel *statusLine() const { return m_status; }
    QPushButton *playButton() const { return m_playButton; }
    SelectDisplayWindowController *selectDisplayWindowController() const { return m_sheet; }

signals:
    void playClicked();
    void demoClicked();
    // A display reported the status of the code it plays ("code", "codeStatus").
    void codeStatusReported(const QString &code, const QString &codeStatus);

private:
    void buildControls(ConsoleDelegate *delegate);
    // The chooser and the controls for the chosen display.
    QHBoxLayout *buildChosenDisplayRow(ConsoleDelegate *delegate);
    // The chosen display's status line and the controls for every display.
    QHBoxLayout *buildEveryDisplayRow(ConsoleDelegate *delegate);
    void observeNotifications();
    void observeScreen(QScreen *screen);
    // Rebuilds the chooser and chooses the same display again.
    void rebuildKeepingChoice();
    void showStatusOfChosenDisplay();
    void postToChosenDisplay(QLatin1StringView name);
    QString statusKey(int index) const;

    QComboBox *m_popup = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_playButton = nullptr;
    SelectDisplayWindowController *m_sheet = nullptr;
    QList<DisplayEntry> m_displayEntries;
    std::vector<ObserverToken> m_observers;
};

} // namespace kivo
