#pragma once

#include "PasswordGate.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QTabWidget;

namespace kivo {

class PasswordSheet;

// The station's preferences window: the main images folder (behind the
// password sheet) and the movie, the transition, each display's room name,
// delay, switch and monitor, and the caption switch. Opens as a window-modal sheet on
// the console (or free when there is none); every control writes its
// preference at once.
class PreferencesWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDisplayCount = 4;
    static constexpr int kRevealTempFolderTag = 102;

    explicit PreferencesWindow(QWidget *parent = nullptr, PasswordGate gate = PasswordGate());

    // Items of the transition pop-up: "Random", a separator, the choices.
    static QStringList transitionChoices();
    // Stores the mode and style for the chosen title and tells the displays.
    static void doChangeTransitionStyle(const QString &title);

    void openPrefs(QWidget *parentWindow);
    void closePrefs();
    // The password sheet, then (when it was right) the folder chooser.
    void selectFolder();
    void selectSlideShowFolder();
    void selectItem();
    void refreshFromPreferences();

    QComboBox *transitionPopup() const { return m_transition; }
    PasswordSheet *passwordSheet() const { return m_password; }

signals:
    // Reveal a folder in the file browser (tag 102: the working folder).
    void revealRequested(int tag);

private:
    QWidget *buildFoldersTab();
    QWidget *buildSlideshowTab();
    QWidget *buildDisplaysTab();
    void passwordSheetDidEnd(int returnCode);

    QTabWidget *m_tabs;
    QComboBox *m_transition = nullptr;
    QLabel *m_mainFolder = nullptr;
    QLabel *m_movie = nullptr;
    QCheckBox *m_caption = nullptr;
    PasswordSheet *m_password;
};

} // namespace kivo
