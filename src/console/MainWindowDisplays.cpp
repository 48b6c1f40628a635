// The console's display chooser, play requests, status line, demo slides,
// reassignment hand-over and the way back to the parent application.

#include "MainWindowController.h"

#include "ConsoleDelegate.h"
#include "ConsoleLog.h"
#include "DemoSlides.h"
#include "SelectDisplayWindowController.h"
#include "browser/MyImageBrowserViewController.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>

namespace kivo {

namespace {
QPushButton *barButton(const QString &text, const QString &accessibleName)
{
    auto *button = new QPushButton(text);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QVariantMap screenInfo(int index)
{
    return {{notificationKey::screenIndex, index}};
}
} // namespace

QWidget *MainWindowController::buildDisplayBar()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_popup = new QComboBox;
    m_popup->setAccessibleName(QStringLiteral("Display"));
    m_popup->setAccessibleDescription(QStringLiteral("Display to play on"));
    m_popup->setMinimumContentsLength(14);
    connect(m_popup, &QComboBox::activated, this, [this] { doSetupDisplayPopup(true); });

    m_playButton = barButton(tr("Play"), QStringLiteral("Play"));
    connect(m_playButton, &QPushButton::clicked, this, [this] { doDoubleClickOnTableView(); });
    QPushButton *toggle = barButton(tr("Pause / Resume"), QStringLiteral("Pause or Resume"));
    connect(toggle, &QPushButton::clicked, this, &MainWindowController::doToggleSlideShow);
    QPushButton *demo = barButton(tr("Demo Slides"), QStringLiteral("Demo Slides"));
    connect(demo, &QPushButton::clicked, this, &MainWindowController::doDemoSlides);

    m_status = new QLabel;
    m_status->setAccessibleName(QStringLiteral("Display Status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    row->addWidget(new QLabel(tr("Display:")));
    row->addWidget(m_popup);
    row->addWidget(m_playButton);
    row->addWidget(toggle);
    row->addWidget(demo);
    row->addWidget(m_status, 1);
    return bar;
}

QWidget *MainWindowController::buildButtonBar()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_reassignButton = barButton(tr("Reassign..."), QStringLiteral("Reassign"));
    connect(m_reassignButton, &QPushButton::clicked, this, &MainWindowController::doChangeCode);
    QPushButton *refresh = barButton(tr("Refresh"), QStringLiteral("Refresh"));
    connect(refresh, &QPushButton::clicked, this, &MainWindowController::doRefreshButton);
    QPushButton *prefs = barButton(tr("Preferences..."), QStringLiteral("Preferences"));
    connect(prefs, &QPushButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->openPrefs();
    });
    QPushButton *menu = barButton(tr("Menu Bar"), QStringLiteral("Menu Bar"));
    connect(menu, &QPushButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->showMenu();
    });
    QPushButton *relaunch = barButton(tr("Relaunch"), QStringLiteral("Relaunch"));
    connect(relaunch, &QPushButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->relaunchApp();
    });
    QPushButton *back = barButton(tr("Return to Main"), QStringLiteral("Return to Main"));
    connect(back, &QPushButton::clicked, this, &MainWindowController::returnToMain);
    for (QPushButton *button : {m_reassignButton, refresh, prefs, menu, relaunch, back})
        row->addWidget(button);
    row->addStretch();
    return bar;
}

// --- display chooser ----------------------------------------------------------

void MainWindowController::rebuildPopupArrayController()
{
    m_displayEntries = DisplayChooser::buildEntries(int(QGuiApplication::screens().size()),
                                                    Preferences::standard());
    DisplayChooser::apply(m_popup, m_displayEntries);
    showStatusOfChosenDisplay();
}

void MainWindowController::doSetupDisplayPopup(bool fromPopup)
{
    const int chosen = chosenDisplayIndex();
    rebuildPopupArrayController();
    if (!fromPopup)
        return;
    // Keep the operator's choice across the rebuild.
    const int position = m_popup->findData(chosen);
    if (position >= 0)
        m_popup->setCurrentIndex(position);
    showStatusOfChosenDisplay();
    NotificationCenter::defaultCenter().post(notification::RequestSlideShowStatus, {},
                                             screenInfo(chosen));
}

int MainWindowController::chosenDisplayIndex() const
{
    const QVariant data = m_popup->currentData();
    return data.isValid() ? data.toInt() : m_popup->currentIndex();
}

void MainWindowController::showStatusOfChosenDisplay()
{
    if (!m_status)
        return;
    const QString text = Preferences::standard().string(QLatin1String(keys::prefDisplayStatus) +
                                                        QString::number(chosenDisplayIndex() + 1));
    m_status->setText(text);
    // Assistive technology reads the status here; the name says what it is.
    m_status->setAccessibleDescription(text);
}

void MainWindowController::handleScreenDidChange()
{
    rebuildPopupArrayController();
    NotificationCenter::defaultCenter().post(notification::updateWindow);
}

// --- play, pause, status --------------------------------------------------------

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
    const QString codePath = formPathForCodeNew(code);
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
    if (Preferences::standard().boolean(
            QLatin1String(keys::prefConfirmRoomBeforeStartingSlideshow))) {
        m_sheet->showDialogWithParam(
            {{QStringLiteral("info"), info}, {notificationKey::sourcePath, codePath}}, this,
            m_displayEntries);
        return;
    }
    NotificationCenter::defaultCenter().post(notification::SlideShowParamChanged, {},
                                             {{notificationKey::screenIndex, chosenDisplayIndex()},
                                              {notificationKey::sourcePath, codePath}});
}

void MainWindowController::doToggleSlideShow()
{
    NotificationCenter::defaultCenter().post(notification::SlideShowToggleShow, {},
                                             screenInfo(chosenDisplayIndex()));
}

void MainWindowController::doTestButton()
{
    NotificationCenter::defaultCenter().post(notification::SlideShowToggleTest, {},
                                             screenInfo(chosenDisplayIndex()));
}

void MainWindowController::handleSlideShowStatusNotification(const QVariantMap &userInfo)
{
    const QVariant screen = userInfo.value(notificationKey::screenIndex);
    const QVariant mesg = userInfo.value(notificationKey::mesg);
    if (screen.isValid() && mesg.isValid()) {
        bool ok = false;
        const int index = screen.toInt(&ok);
        if (ok && index >= 0 && index == chosenDisplayIndex()) {
            Preferences::standard().setValue(QLatin1String(keys::prefDisplayStatus) +
                                                 QString::number(index + 1),
                                             mesg.toString());
            showStatusOfChosenDisplay();
        }
    }
    const QVariant code = userInfo.value(QStringLiteral("code"));
    const QVariant codeStatus = userInfo.value(notificationKey::codeStatus);
    if (code.isValid() && codeStatus.isValid())
        m_model->updateCodeStatus(code.toString(), codeStatus.toString());
    if (userInfo.contains(notificationKey::screenIsPlaying))
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->handleSlideShowStatusNotification... "
                               "screenIsPlaying = [%1]")
                    .arg(userInfo.value(notificationKey::screenIsPlaying).toBool()));
}

// --- demo slides ----------------------------------------------------------------

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
    if (Preferences::standard().boolean(
            QLatin1String(keys::prefConfirmRoomBeforeStartingSlideshow))) {
        m_sheet->showDialogWithParam(
            {{QStringLiteral("info"), demoParameters}, {notificationKey::sourcePath, folder}}, this,
            m_displayEntries);
        return true;
    }
    NotificationCenter::defaultCenter().post(notification::SlideShowParamChanged, {},
                                             {{notificationKey::screenIndex, chosenDisplayIndex()},
                                              {notificationKey::sourcePath, folder}});
    return true;
}

void MainWindowController::showSheetAlert(const QString &title, const QString &text)
{
    auto *alert = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAccessibleName(title);
    alert->button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    alert->button(QMessageBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    alert->open();
}

// --- reassignment hand-over ---------------------------------------------------------

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
                            {QStringLiteral("imageslist"), images},
                            {QStringLiteral("currentinfo"), info}});
}

// --- parent application ----------------------------------------------------------------

bool MainWindowController::launchDesktopEntry(const QString &desktopId)
{
    QString id = desktopId.trimmed();
    if (id.isEmpty() || id.contains(QLatin1Char('/'))) {
        logLine(lcConsole(),
                QStringLiteral("returnToMain... no usable desktop entry id [%1]").arg(desktopId));
        return false;
    }
    if (!id.endsWith(QLatin1String(".desktop")))
        id += QLatin1String(".desktop");
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    const QString gtkLaunch = QStandardPaths::findExecutable(QStringLiteral("gtk-launch"));
    bool started = false;
    if (!entry.isEmpty() && !gio.isEmpty())
        started = QProcess::startDetached(gio, {QStringLiteral("launch"), entry});
    else if (!gtkLaunch.isEmpty())
        started = QProcess::startDetached(gtkLaunch, {id});
    if (!started)
        logLine(lcConsole(),
                QStringLiteral("returnToMain... unable to launch the desktop entry [%1] (entry "
                               "[%2], gio [%3], gtk-launch [%4])")
                    .arg(id, entry, gio, gtkLaunch));
    return started;
}

void MainWindowController::returnToMain()
{
    launchDesktopEntry(Preferences::standard().string(QLatin1String(keys::prefParentAppBundleId)));
}

} // namespace kivo
