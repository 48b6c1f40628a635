#include "DisplayBar.h"

#include "ConsoleDelegate.h"
#include "ConsoleLog.h"
#include "SelectDisplayWindowController.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/NotificationNames.h"
#include "station/OperatorKeys.h"
#include "station/PrefKeys.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kivo {

namespace {
QPushButton *barButton(const QString &text, const QString &accessibleName,
                       const QKeySequence &shortcut = {})
{
    auto *button = new QPushButton(text);
    button->setAccessibleName(accessibleName);
    // A click leaves the keyboard focus where it was (on the code list).
    button->setFocusPolicy(Qt::TabFocus);
    if (!shortcut.isEmpty()) {
        button->setShortcut(shortcut);
        button->setToolTip(QStringLiteral("%1 (%2)").arg(
            accessibleName, shortcut.toString(QKeySequence::NativeText)));
    }
    return button;
}
} // namespace

DisplayBar::DisplayBar(QWidget *window, ConsoleDelegate *delegate) : QWidget(window)
{
    buildControls(delegate);
    m_sheet = new SelectDisplayWindowController(window);
    rebuildPopupArrayController();
    observeNotifications();
    // The displays started before the console: ask the chosen one how it is.
    QTimer::singleShot(0, this,
                       [this] { postToChosenDisplay(notification::RequestSlideShowStatus); });
}

void DisplayBar::buildControls(ConsoleDelegate *delegate)
{
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(buildChosenDisplayRow(delegate));
    rows->addLayout(buildEveryDisplayRow(delegate));
}

QHBoxLayout *DisplayBar::buildChosenDisplayRow(ConsoleDelegate *delegate)
{
    m_popup = new QComboBox;
    m_popup->setAccessibleName(QStringLiteral("Display"));
    m_popup->setAccessibleDescription(QStringLiteral("Display to play on"));
    m_popup->setMinimumContentsLength(14);
    connect(m_popup, &QComboBox::activated, this, [this] { doSetupDisplayPopup(true); });

    m_playButton = barButton(tr("Play"), QStringLiteral("Play"));
    connect(m_playButton, &QPushButton::clicked, this, &DisplayBar::playClicked);
    QPushButton *toggle = barButton(tr("Pause / Resume"), QStringLiteral("Pause or Resume"));
    connect(toggle, &QPushButton::clicked, this, &DisplayBar::doToggleSlideShow);
    QPushButton *next = barButton(tr("Next Slide"), QStringLiteral("Next Slide"),
                                  QKeySequence(operatorKey::nextSlide));
    connect(next, &QPushButton::clicked, this, &DisplayBar::doTestButton);
    QPushButton *identify = barButton(tr("Identify"), QStringLiteral("Identify Display"),
                                      QKeySequence(operatorKey::identifyDisplay));
    if (delegate)
        connect(identify, &QPushButton::clicked, this,
                [this, delegate] { delegate->doIdentify(chosenDisplayIndex() + 1); });
    QPushButton *demo = barButton(tr("Demo Slides"), QStringLiteral("Demo Slides"));
    connect(demo, &QPushButton::clicked, this, &DisplayBar::demoClicked);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Display:")));
    row->addWidget(m_popup);
    for (QPushButton *button : {m_playButton, toggle, next, identify, demo})
        row->addWidget(button);
    row->addStretch();
    return row;
}

QHBoxLayout *DisplayBar::buildEveryDisplayRow(ConsoleDelegate *delegate)
{
    m_status = new QLabel;
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAccessibleName(QStringLiteral("Display Status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton *identifyAll = barButton(tr("Identify All"), QStringLiteral("Identify Displays"),
                                         QKeySequence(operatorKey::identifyAll));
    QPushButton *stopAll =
        barButton(tr("Stop All"), QStringLiteral("Stop All"), QKeySequence(operatorKey::stopAll));
    if (delegate) {
        connect(identifyAll, &QPushButton::clicked, this,
                [delegate] { delegate->doIdentifyAll(); });
        connect(stopAll, &QPushButton::clicked, this, [delegate] { delegate->doStopSlideShow(0); });
    }
    auto *row = new QHBoxLayout;
    row->addWidget(m_status, 1);
    row->addWidget(identifyAll);
    row->addWidget(stopAll);
    return row;
}

void DisplayBar::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(
        center.addObserver(notification::SlideShowStatus, this, [this](const Notification &n) {
            handleSlideShowStatusNotification(n.userInfo);
        }));
    m_observers.push_back(
        center.addObserver(notification::testNotification, this,
                           [this](const Notification &) { rebuildPopupArrayController(); }));
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        observeScreen(screen);
        handleScreenDidChange();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &DisplayBar::handleScreenDidChange);
    for (QScreen *screen : QGuiApplication::screens())
        observeScreen(screen);
    connect(
        &Preferences::standard(), &Preferences::valueChanged, this,
        [this](const QString &key) {
            if (key == statusKey(chosenDisplayIndex()))
                showStatusOfChosenDisplay();
            else if (key.startsWith(QLatin1String(keys::prefNameOfDisplay)))
                rebuildKeepingChoice(); // a room name changed
        },
        Qt::QueuedConnection);
}

void DisplayBar::observeScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &DisplayBar::handleScreenDidChange);
}

QString DisplayBar::statusKey(int index) const
{
    return QLatin1String(keys::prefDisplayStatus) + QString::number(index + 1);
}

void DisplayBar::rebuildPopupArrayController()
{
    m_displayEntries = DisplayChooser::buildEntries(int(QGuiApplication::screens().size()),
                                                    Preferences::standard());
    DisplayChooser::apply(m_popup, m_displayEntries);
    showStatusOfChosenDisplay();
}

void DisplayBar::doSetupDisplayPopup(bool fromPopup)
{
    if (!fromPopup) {
        rebuildPopupArrayController();
        return;
    }
    rebuildKeepingChoice();
    postToChosenDisplay(notification::RequestSlideShowStatus);
}

void DisplayBar::rebuildKeepingChoice()
{
    const int chosen = chosenDisplayIndex();
    rebuildPopupArrayController();
    const int position = m_popup->findData(chosen);
    if (position >= 0)
        m_popup->setCurrentIndex(position);
    showStatusOfChosenDisplay();
}

int DisplayBar::chosenDisplayIndex() const
{
    const QVariant data = m_popup->currentData();
    return data.isValid() ? data.toInt() : m_popup->currentIndex();
}

void DisplayBar::showStatusOfChosenDisplay()
{
    const QString text = Preferences::standard().string(statusKey(chosenDisplayIndex()));
    m_status->setText(text);
    // Assistive technology reads the status here; the name says what it is.
    m_status->setAccessibleDescription(text);
}

void DisplayBar::handleScreenDidChange()
{
    rebuildPopupArrayController();
    NotificationCenter::defaultCenter().post(notification::updateWindow);
}

void DisplayBar::postToChosenDisplay(QLatin1StringView name)
{
    NotificationCenter::defaultCenter().post(
        name, {}, {{notificationKey::screenIndex, chosenDisplayIndex()}});
}

void DisplayBar::doToggleSlideShow()
{
    postToChosenDisplay(notification::SlideShowToggleShow);
}

void DisplayBar::doTestButton()
{
    postToChosenDisplay(notification::SlideShowToggleTest);
}

void DisplayBar::playFolder(const QVariantMap &info, const QString &folder)
{
    if (Preferences::standard().boolean(
            QLatin1String(keys::prefConfirmRoomBeforeStartingSlideshow))) {
        m_sheet->showDialogWithParam(
            {{QStringLiteral("info"), info}, {notificationKey::sourcePath, folder}}, window(),
            m_displayEntries);
        return;
    }
    NotificationCenter::defaultCenter().post(notification::SlideShowParamChanged, {},
                                             {{notificationKey::screenIndex, chosenDisplayIndex()},
                                              {notificationKey::sourcePath, folder}});
}

void DisplayBar::handleSlideShowStatusNotification(const QVariantMap &userInfo)
{
    const QVariant screen = userInfo.value(notificationKey::screenIndex);
    const QVariant mesg = userInfo.value(notificationKey::mesg);
    if (screen.isValid() && mesg.isValid()) {
        bool ok = false;
        const int index = screen.toInt(&ok);
        if (ok && index >= 0 && index == chosenDisplayIndex()) {
            Preferences::standard().setValue(statusKey(index), mesg.toString());
            showStatusOfChosenDisplay();
        }
    }
    const QVariant code = userInfo.value(notificationKey::code);
    const QVariant codeStatus = userInfo.value(notificationKey::codeStatus);
    if (code.isValid() && codeStatus.isValid())
        emit codeStatusReported(code.toString(), codeStatus.toString());
    if (userInfo.contains(notificationKey::screenIsPlaying))
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->handleSlideShowStatusNotification... "
                               "screenIsPlaying = [%1]")
                    .arg(userInfo.value(notificationKey::screenIsPlaying).toBool()));
}

} // namespace kivo
