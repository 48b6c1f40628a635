#include "SelectDisplayWindowController.h"

#include "ConsoleLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/NotificationNames.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace kivo {

namespace {
QStringList screenNames()
{
    QStringList names;
    for (const QScreen *screen : QGuiApplication::screens())
        names << screen->name();
    return names;
}

QLabel *readOnlyLine(const QString &accessibleName)
{
    auto *label = new QLabel;
    label->setTextFormat(Qt::PlainText); // codes, names and addresses as typed
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAccessibleName(accessibleName);
    return label;
}
} // namespace

SelectDisplayWindowController::SelectDisplayWindowController(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Choose the Display"));
    setAccessibleName(QStringLiteral("Choose the Display"));
    setWindowModality(Qt::WindowModal);

    m_popup = new QComboBox;
    m_popup->setAccessibleName(QStringLiteral("Display"));
    m_popup->setAccessibleDescription(QStringLiteral("Display to play on"));
    m_text1 = readOnlyLine(QStringLiteral("Code"));
    m_text2 = readOnlyLine(QStringLiteral("Name"));
    m_text3 = readOnlyLine(QStringLiteral("Email"));

    auto *form = new QFormLayout;
    form->addRow(tr("Code:"), m_text1);
    form->addRow(tr("Name:"), m_text2);
    form->addRow(tr("E-mail:"), m_text3);
    form->addRow(tr("Display:"), m_popup);

    auto *buttons = new QDialogButtonBox;
    QPushButton *play = buttons->addButton(tr("Play"), QDialogButtonBox::AcceptRole);
    play->setAccessibleName(QStringLiteral("Play on Display"));
    play->setDefault(true);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    QPushButton *refresh = buttons->addButton(tr("Refresh Displays"), QDialogButtonBox::ResetRole);
    refresh->setAccessibleName(QStringLiteral("Refresh Displays"));
    connect(refresh, &QPushButton::clicked, this, &SelectDisplayWindowController::ibTestButton);
    connect(play, &QPushButton::clicked, this, &SelectDisplayWindowController::ibAcceptButton);
    connect(cancel, &QPushButton::clicked, this, &SelectDisplayWindowController::ibCancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(this, &QDialog::finished, this, &SelectDisplayWindowController::didEndSheet);
    m_updateWindowObserver = NotificationCenter::defaultCenter().addObserver(
        notification::updateWindow, this, [this](const Notification &) { handleUpdateWindow(); });
    // Queued: by then the application's screen list holds the change.
    for (auto signal : {&QGuiApplication::screenAdded, &QGuiApplication::screenRemoved})
        connect(
            qApp, signal, this, [this] { followScreens(screenNames()); }, Qt::QueuedConnection);
}

void SelectDisplayWindowController::followScreens(const QStringList &names)
{
    const QString chosen = m_screenNames.value(m_popup->currentIndex());
    m_screenNames = names;
    DisplayChooser::apply(m_popup,
                          DisplayChooser::buildEntries(int(names.size()), Preferences::standard()));
    // Entry 0 (the console's screen) cannot be chosen while there are others.
    const qsizetype position = names.indexOf(chosen);
    if (position > 0 || (position == 0 && names.size() == 1))
        m_popup->setCurrentIndex(int(position));
    logLine(lcConsole(), QStringLiteral("SelectDisplayWindowController->followScreens... screens "
                                        "[%1], chosen [%2]")
                             .arg(names.join(QLatin1Char(',')), m_popup->currentText()));
}

bool SelectDisplayWindowController::showDialogWithParam(const QVariantMap &params,
                                                        QWidget *parentWindow,
                                                        const QList<DisplayEntry> &displayEntries)
{
    if (!params.contains(notificationKey::sourcePath)) {
        logLine(lcConsole(),
                QStringLiteral("SelectDisplayWindowController->showDialogWithParam... no "
                               "sourcePath: %1")
                    .arg(params.keys().join(QLatin1Char(','))));
        QApplication::beep();
        return false;
    }
    m_params = params;
    const QVariantMap info = params.value(QStringLiteral("info")).toMap();
    m_text1->setText(info.value(QStringLiteral("code")).toString());
    m_text2->setText(info.value(QStringLiteral("name")).toString());
    m_text3->setText(info.value(QStringLiteral("email")).toString());
    DisplayChooser::apply(m_popup, displayEntries);
    m_screenNames = screenNames();
    NotificationCenter::defaultCenter().post(notification::updateWindow);
    if (parentWindow && parentWindow != parentWidget())
        setParent(parentWindow, windowFlags());
    open();
    return true;
}

void SelectDisplayWindowController::ibAcceptButton()
{
    done(kAccept);
}

void SelectDisplayWindowController::ibCancelButton()
{
    done(kCancel);
}

void SelectDisplayWindowController::ibTestButton()
{
    NotificationCenter::defaultCenter().post(notification::testNotification);
    handleUpdateWindow();
}

void SelectDisplayWindowController::handleUpdateWindow()
{
    if (m_popup->count() <= 1)
        return;
    if (auto *model = qobject_cast<QStandardItemModel *>(m_popup->model())) {
        if (QStandardItem *item = model->item(0))
            item->setEnabled(false);
    }
    m_popup->setCurrentIndex(1);
}

void SelectDisplayWindowController::didEndSheet(int returnCode)
{
    const QVariantMap params = std::exchange(m_params, {});
    if (returnCode != kAccept) {
        logLine(lcConsole(),
                QStringLiteral("SelectDisplayWindowController->didEndSheet... returnCode = [%1]")
                    .arg(returnCode));
        return;
    }
    const QString sourcePath = params.value(notificationKey::sourcePath).toString();
    if (sourcePath.isEmpty()) {
        logLine(lcConsole(),
                QStringLiteral("SelectDisplayWindowController->didEndSheet... no sourcePath"));
        return;
    }
    const int index =
        m_popup->currentData().isValid() ? m_popup->currentData().toInt() : m_popup->currentIndex();
    NotificationCenter::defaultCenter().post(
        notification::SlideShowParamChanged, {},
        {{notificationKey::screenIndex, index}, {notificationKey::sourcePath, sourcePath}});
}

} // namespace kivo
