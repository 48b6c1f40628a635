#include "slideShowWindowController.h"

#include "CaptionStrip.h"
#include "FolderAssignment.h"
#include "IdentifyOverlay.h"
#include "SlidePlayer.h"
#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "borderlessWindow.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"
#include "zoomedInNSImageView.h"

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
    : QObject(parent), mQueue(std::make_shared<KivoQueue>(&IsValidImageObject))
{
    // initWithIndex: the key set from the low 16 bits, then the index.
    fParameterDictionary = DisplayParameters::setupParametersForIndex(index);
    setScreenIndex(index);

    createWindows();
    mPlayer = std::make_unique<SlidePlayer>(
        fScreenIndex, fParameterDictionary, mQueue,
        SlidePlayer::Views{mWindow.get(), mSlideView, mZoomedInView, mCaption}, this);
    mAssignment = std::make_unique<FolderAssignment>(fScreenIndex, fParameterDictionary, mQueue,
                                                     workers, *mPlayer, this);
    connect(mPlayer.get(), &SlidePlayer::slideShown, this, &slideShowWindowController::slideShown);
    connect(mPlayer.get(), &SlidePlayer::relistDue, mAssignment.get(),
            &FolderAssignment::rebuildList);
    resizeSelfToParent();
    showHideThisWindow();
    setupIdentifyWindow();
    observe();
}

slideShowWindowController::~slideShowWindowController()
{
    mObservers.clear();
    disconnect(&Preferences::standard(), nullptr, this, nullptr);
    mPlayer->stop();
    // A batch being validated sees the reset and drops; a slide being decoded
    // finishes into a value that nobody collects.
    mQueue->reset();
    logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"dealloc") +
                               QStringLiteral(" index = [%1]").arg(fScreenIndex));
}

const QString &slideShowWindowController::sourcePath() const
{
    return mAssignment->sourcePath();
}

void slideShowWindowController::startSequence()
{
    mPlayer->startSequence();
}

void slideShowWindowController::setScreenIndex(int index)
{
    fScreenIndex = index;
    DisplayParameters::setValue(fParameterDictionary, QLatin1String(keys::sPrefKeyForNSScreenIndex),
                                qint64(index + 1), Preferences::standard());
}

QScreen *slideShowWindowController::screen() const
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return fScreenIndex >= 0 && fScreenIndex < screens.size() ? screens.at(fScreenIndex) : nullptr;
}

void slideShowWindowController::createWindows()
{
    mWindow = std::make_unique<borderlessWindow>();
    mWindow->setObjectName(QStringLiteral("slideShowWindow%1").arg(fScreenIndex + 1));
    mWindow->setWindowTitle(QStringLiteral("Kivo SlideShow %1").arg(fScreenIndex + 1));
    mZoomedInView = new zoomedInNSImageView(mWindow.get());
    mZoomedInView->setObjectName(QStringLiteral("ibZoomedInView"));
    mSlideView = new SlideshowView(mWindow.get());
    mSlideView->setObjectName(QStringLiteral("slideView"));
    mCaption = new CaptionStrip(mWindow.get());
    mIdentify = new IdentifyOverlay(mWindow.get());
}

void slideShowWindowController::resizeSelfToParent()
{
    QScreen *target = screen();
    if (!target)
        return;
    const QRect frame = target->availableGeometry();
    mWindow->setGeometry(frame);
    if (QWindow *handle = mWindow->windowHandle())
        handle->setScreen(target);
    mWindow->setGeometry(frame);
    mZoomedInView->setGeometry(QRect(QPoint(0, 0), frame.size()));
    mSlideView->resizeSelfToParent();
    mCaption->setChildWindowPosition();
}

void slideShowWindowController::showHideThisWindow()
{
    // Display 0 carries the operator console when there are several; a
    // display whose screen is gone waits hidden for it to come back.
    if ((QGuiApplication::screens().size() > 1 && fScreenIndex == 0) || !screen()) {
        mWindow->hide();
    } else {
        mWindow->show();
        mWindow->raise();
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
    if (show && mWindow->isVisible()) {
        mCaption->setChildWindowPosition();
        mCaption->show();
        mCaption->raise();
    } else {
        mCaption->hide();
    }
}

void slideShowWindowController::setupIdentifyWindow()
{
    const QString key =
        DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
    mIdentify->setText(Preferences::standard().string(key));
    if (QScreen *target = screen())
        mIdentify->setGeometry(target->availableGeometry());
    mIdentify->hide();
}

void slideShowWindowController::identify()
{
    // Display 0's window is hidden under the console, yet its screen is there.
    if (!screen())
        return;
    const Preferences &prefs = Preferences::standard();
    const QString key =
        DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
    mIdentify->setText(
        IdentifyOverlay::identifyText(prefs.string(key), fScreenIndex + 1, screenCount()));
    const QString secondsKey = QLatin1String(keys::prefIdentifyScreenInSeconds);
    const int seconds = prefs.contains(secondsKey) ? int(prefs.integer(secondsKey))
                                                   : IdentifyOverlay::kDefaultSeconds;
    mIdentify->identify(screen()->availableGeometry(), seconds);
}

void slideShowWindowController::observe()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    auto add = [&](QLatin1StringView name, auto *target, auto handler) {
        mObservers.push_back(center.addObserver(
            name, target, [target, handler](const Notification &n) { (target->*handler)(n); }));
    };
    using namespace notification;
    add(SlideShowParamChanged, mAssignment.get(),
        &FolderAssignment::handleSlideShowParamChangedNotification);
    add(SlideShowToggleShow, mPlayer.get(),
        &SlidePlayer::handleSlideShowParamToggleShowNotification);
    add(RequestSlideShowStatus, mPlayer.get(),
        &SlidePlayer::handleSlideShowRequestStatusNotification);
    add(SlideShowToggleTest, mPlayer.get(), &SlidePlayer::handleSlideTestNotification);
    add(SlideShowChangeTransitionStyle, mPlayer.get(),
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
        mIdentify->setText(Preferences::standard().string(key));
}

} // namespace kivo
