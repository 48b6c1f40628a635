#include "slideShowWindowController.h"

#include "CaptionStrip.h"
#include "DisplayNameField.h"
#include "FolderAssignment.h"
#include "IdentifyOverlay.h"
#include "SlidePlayer.h"
#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "borderlessWindow.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/DisplayOutputs.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"
#include "zoomedInNSImageView.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace kivo {

namespace {
int screenCount()
{
    return qMax(1, int(QGuiApplication::screens().size()));
}
} // namespace

slideShowWindowController::slideShowWindowController(int index, WorkerPool &workers,
                                                     QObject *parent)
    : QObject(parent), m_queue(std::make_shared<KivoQueue>(&IsValidImageObject))
{
    // initWithIndex: the key set from the low 16 bits, then the index.
    fParameterDictionary = DisplayParameters::setupParametersForIndex(index);
    setScreenIndex(index);

    createWindows();
    m_player = std::make_unique<SlidePlayer>(
        fScreenIndex, fParameterDictionary, m_queue,
        SlidePlayer::Views{m_window.get(), m_slideView, m_zoomedInView, m_caption}, this);
    m_assignment = std::make_unique<FolderAssignment>(fScreenIndex, fParameterDictionary, m_queue,
                                                      workers, *m_player, this);
    connect(m_player.get(), &SlidePlayer::slideShown, this, &slideShowWindowController::slideShown);
    connect(m_player.get(), &SlidePlayer::slideShown, this, [this] { ++m_slidesShown; });
    m_sinceStart.start();
    for (QObject *painted :
         {static_cast<QObject *>(m_window.get()), static_cast<QObject *>(m_slideView),
          static_cast<QObject *>(m_zoomedInView)})
        painted->installEventFilter(this);
    connect(m_player.get(), &SlidePlayer::relistDue, m_assignment.get(),
            &FolderAssignment::rebuildList);
    resizeSelfToParent();
    showHideThisWindow();
    setupIdentifyWindow();
    observe();
}

slideShowWindowController::~slideShowWindowController()
{
    m_window->removeEventFilter(this);
    m_slideView->removeEventFilter(this);
    m_zoomedInView->removeEventFilter(this);
    m_observers.clear();
    disconnect(&Preferences::standard(), nullptr, this, nullptr);
    m_player->stop();
    // A batch being validated sees the reset and drops; a slide being decoded
    // finishes into a value that nobody collects.
    m_queue->reset();
    logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"dealloc") +
                               QStringLiteral(" index = [%1]").arg(fScreenIndex));
}

const QString &slideShowWindowController::sourcePath() const
{
    return m_assignment->sourcePath();
}

qint64 slideShowWindowController::msSinceLastPaint() const
{
    return m_lastPaintMs < 0 ? -1 : m_sinceStart.elapsed() - m_lastPaintMs;
}

bool slideShowWindowController::isPlaying() const
{
    return m_window->isVisible() && !m_player->isSuspended() && !m_player->isIdle() &&
           !m_player->currentSlidePath().isEmpty();
}

bool slideShowWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        m_lastPaintMs = m_sinceStart.elapsed();
    return QObject::eventFilter(watched, event);
}

void slideShowWindowController::startSequence()
{
    m_player->startSequence();
    m_assignment->resumeStoredFolder();
}

void slideShowWindowController::setScreenIndex(int index)
{
    fScreenIndex = index;
    DisplayParameters::setValue(fParameterDictionary, QLatin1String(keys::sPrefKeyForNSScreenIndex),
                                qint64(index + 1), Preferences::standard());
}

QScreen *slideShowWindowController::screen() const
{
    return DisplayOutputs::screenForDisplay(fScreenIndex);
}

void slideShowWindowController::createWindows()
{
    m_window = std::make_unique<borderlessWindow>();
    m_window->setObjectName(QStringLiteral("slideShowWindow%1").arg(fScreenIndex + 1));
    m_window->setWindowTitle(QStringLiteral("Kivo SlideShow %1").arg(fScreenIndex + 1));
    m_zoomedInView = new zoomedInNSImageView(m_window.get());
    m_zoomedInView->setObjectName(QStringLiteral("ibZoomedInView"));
    m_slideView = new SlideshowView(m_window.get());
    m_slideView->setObjectName(QStringLiteral("slideView"));
    m_slideView->setBackdrop([window = m_window.get()](QPainter &painter, const QRect &area) {
        window->paintBackdrop(painter, area);
    });
    m_caption = new CaptionStrip(m_window.get());
    m_identify = new IdentifyOverlay(m_window.get());
}

void slideShowWindowController::resizeSelfToParent()
{
    QScreen *target = screen();
    if (!target)
        return;
    const QRect frame = target->availableGeometry();
    m_window->setGeometry(frame);
    if (QWindow *handle = m_window->windowHandle())
        handle->setScreen(target);
    m_window->setGeometry(frame);
    m_zoomedInView->setGeometry(QRect(QPoint(0, 0), frame.size()));
    m_slideView->resizeSelfToParent();
    m_caption->setChildWindowPosition();
    if (m_nameField)
        m_nameField->placeInWindow();
}

void slideShowWindowController::showHideThisWindow()
{
    // Display 0 carries the operator console when there are several; a
    // display whose screen is gone waits hidden for it to come back.
    if ((QGuiApplication::screens().size() > 1 && fScreenIndex == 0) || !screen()) {
        m_window->hide();
    } else {
        m_window->show();
        m_window->raise();
    }
    updateCaptionVisibility();
}

void slideShowWindowController::handleScreenDidChange()
{
    resizeSelfToParent();
    showHideThisWindow();
}

void slideShowWindowController::updateCaptionVisibility()
{
    const bool show =
        Preferences::standard().boolean(QLatin1String(keys::prefShowPhotoWithFilename));
    if (show && m_window->isVisible()) {
        m_caption->setChildWindowPosition();
        m_caption->show();
        m_caption->raise();
    } else {
        m_caption->hide();
    }
}

void slideShowWindowController::setupIdentifyWindow()
{
    const QString key =
        DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
    m_identify->setText(Preferences::standard().string(key));
    m_nameField = new DisplayNameField(key, m_window.get());
    if (QScreen *target = screen())
        m_identify->setGeometry(target->availableGeometry());
    m_identify->hide();
}

void slideShowWindowController::identify()
{
    // Display 0's window is hidden under the console, yet its screen is there.
    if (!screen())
        return;
    const Preferences &prefs = Preferences::standard();
    const QString key =
        DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
    m_identify->setText(
        IdentifyOverlay::identifyText(prefs.string(key), fScreenIndex + 1, screenCount()));
    const QString secondsKey = QLatin1String(keys::prefIdentifyScreenInSeconds);
    const int seconds = prefs.contains(secondsKey) ? int(prefs.integer(secondsKey))
                                                   : IdentifyOverlay::kDefaultSeconds;
    m_identify->identify(screen()->availableGeometry(), seconds);
}

void slideShowWindowController::observe()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    auto add = [&](QLatin1StringView name, auto *target, auto handler) {
        m_observers.push_back(center.addObserver(
            name, target, [target, handler](const Notification &n) { (target->*handler)(n); }));
    };
    using namespace notification;
    add(SlideShowParamChanged, m_assignment.get(),
        &FolderAssignment::handleSlideShowParamChangedNotification);
    add(SlideShowToggleShow, m_player.get(),
        &SlidePlayer::handleSlideShowParamToggleShowNotification);
    add(RequestSlideShowStatus, m_player.get(),
        &SlidePlayer::handleSlideShowRequestStatusNotification);
    add(SlideShowToggleTest, m_player.get(), &SlidePlayer::handleSlideTestNotification);
    add(SlideShowChangeTransitionStyle, m_player.get(),
        &SlidePlayer::handleSlideShowChangeTransitionStyle);
    connect(&Preferences::standard(), &Preferences::valueChanged, this,
            &slideShowWindowController::preferenceChanged);
}

void slideShowWindowController::preferenceChanged(const QString &key)
{
    if (key == QLatin1String(keys::prefShowPhotoWithFilename))
        updateCaptionVisibility();
    else if (key ==
             DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex))
        m_identify->setText(Preferences::standard().string(key));
}

} // namespace kivo
