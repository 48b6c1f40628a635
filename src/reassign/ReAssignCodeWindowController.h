#pragma once

#include "ReAssignCodeWindowLayout.h"
#include "platform/NotificationCenter.h"

#include <QDialog>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kivo {

class MyImageBrowserViewController;

// One alert: its message, its informative text and its buttons, the first
// being the default. The presenter returns the index of the pressed button.
struct AlertRequest
{
    QString messageText;
    QString informativeText;
    QStringList buttons;
};
using AlertPresenter = std::function<int(QWidget *parent, const AlertRequest &alert)>;

// The reassignment sheet: the old code's photos in a first image browser, the
// photos to move dragged into a second one, the new code chosen in a popup.
// The code folders are those of the day the console showed when the sheet
// was set up. Confirming moves the photos into the new code's folder, writes
// the change record and ends the sheet with kReassigned; whatever went wrong
// is shown in an alert, and the sheet stays open when nothing moved. Any other
// end gives kStopResponse. Only photos dragged between its own two browsers
// are accepted.
class ReAssignCodeWindowController : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kReassigned = 1001;
    static constexpr int kStopResponse = -1000;
    static const QString kPromptName;
    static const QString kAssignAlternateTitle;

    explicit ReAssignCodeWindowController(QWidget *parent = nullptr);
    ~ReAssignCodeWindowController() override;

    // Creates a sheet on parent with the set-up dictionary, opens it window-modal
    // and calls sheetDidEnd with the result code once it has closed; the sheet
    // deletes itself afterwards.
    static ReAssignCodeWindowController *openSheet(QWidget *parent, const QVariantMap &setup,
                                                   std::function<void(int)> sheetDidEnd);

    // {"oldcode", "oldfolder", "currentinfo", "arraycontroller" (list of code
    // rows, each with its "folderPath"), "imageslist"}; without "oldfolder" the
    // old code's folder is formed from the code. Anything but a dictionary is
    // ignored.
    void setupWindow(const QVariant &setup);
    // Fills the popup, sizes the window and loads the browsers; runs once, at
    // the first show at the latest.
    void awakeFromNib();

    void ibClickedOnPopup(int index);
    void enableAssignButton();
    void handleObjectDraggedNotification(const Notification &notification);
    void zoomSliderDidChange(QSlider *slider);
    void revertAll();
    void doEndSheet(QAbstractButton *button);
    QStringList getChangedImageList() const;
    // Moves the photos and writes the record, telling the operator what went
    // wrong; the file names that moved.
    QStringList doMoveImages();

    // Replaces the alerts (tests); the default shows a QMessageBox.
    void setAlertPresenter(AlertPresenter presenter) { m_alertPresenter = std::move(presenter); }

    const QVariantList &fArrayController() const { return m_arrangedEntries; }
    const QVariantMap &fSelectedInfo() const { return m_selectedInfo; }
    QString fValue1() const;
    QString fValue2() const;
    QString lastRecordPath() const { return m_lastRecordPath; }
    // The old code's photos whose names cannot be recorded; empty when there are none.
    QString notice() const;

    MyImageBrowserViewController *fImageBrowserViewController() const { return m_browser1; }
    MyImageBrowserViewController *fImageBrowserViewController2() const { return m_browser2; }
    QComboBox *ibPopupButton() const { return m_ui.popup; }
    QPushButton *ibAssignButton() const { return m_ui.assignButton; }
    QPushButton *cancelButton() const { return m_ui.cancelButton; }
    QPushButton *revertButton() const { return m_ui.revertButton; }

    static int showAlert(QWidget *parent, const AlertRequest &alert);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void connectWindow();
    void fillPopup();
    MyImageBrowserViewController *makeBrowser(QWidget *holder, const QString &name);
    int alert(const QString &message, const QString &text, const QStringList &buttons);
    void setCount(QLabel *label, qsizetype count);
    QString newCodeFolder(const QVariantMap &info) const;
    void showUnrecordable(const QStringList &names);

    QString m_oldCode;
    QVariantMap m_oldInfo;
    QVariantList m_arrangedEntries;
    QVariantMap m_selectedInfo;
    QStringList m_originalImages;
    QString m_oldFolder; // fixed at set-up: the console's day may change meanwhile
    QString m_lastRecordPath;
    bool m_awake = false;
    bool m_alerting = false; // an alert of the sheet is up

    ReAssignCodeWindowLayout m_ui{this};
    MyImageBrowserViewController *m_browser1 = nullptr;
    MyImageBrowserViewController *m_browser2 = nullptr;

    AlertPresenter m_alertPresenter;
    std::function<QString(const QString &)> m_codePath;
    ObserverToken m_dragObserver;
};

} // namespace kivo
