#pragma once

#include "DisplayChooser.h"
#include "platform/NotificationCenter.h"

#include <QDialog>
#include <QVariantMap>

class QComboBox;
class QLabel;

namespace kivo {

// The display-choice sheet: shows the code, name and e-mail of what is about
// to play and lets the operator pick the display, then posts the play request.
// Window-modal on its parent; ends with -1002 (accept) or -1001 (cancel).
class SelectDisplayWindowController : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kAccept = -1002;
    static constexpr int kCancel = -1001;
    static constexpr int kStop = -1000;

    explicit SelectDisplayWindowController(QWidget *parent = nullptr);

    // params: "info" (the code row or the demo parameters), "sourcePath" (the
    // folder to play). Without "sourcePath" it beeps and opens nothing.
    // Returns whether the sheet opened.
    bool showDialogWithParam(const QVariantMap &params, QWidget *parentWindow,
                             const QList<DisplayEntry> &displayEntries);

    void ibAcceptButton();
    void ibCancelButton();
    // Asks the console to rebuild its display chooser ("testNotification"),
    // then disables entry 0 here and chooses entry 1.
    void ibTestButton();
    void handleUpdateWindow();
    // Rebuilds the display list for the screens now attached (names in
    // screen order), keeping the chosen screen when it is still there; runs
    // whenever a screen comes or goes.
    void followScreens(const QStringList &names);
    void reject() override { ibCancelButton(); } // Escape cancels

    QComboBox *ibPopupButton() const { return m_popup; }
    QLabel *ibTextField3() const { return m_text3; }

private:
    void didEndSheet(int returnCode);

    QComboBox *m_popup = nullptr;
    QLabel *m_text1 = nullptr;
    QLabel *m_text2 = nullptr;
    QLabel *m_text3 = nullptr;
    QVariantMap m_params;
    QStringList m_screenNames; // of the entries shown
    ObserverToken m_updateWindowObserver;
};

} // namespace kivo
