#include "slideShowWindowController.h"

#include "CaptionStrip.h"
#include "IdentifyOverlay.h"
#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "borderlessWindow.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"
#include "zoomedInNSImageView.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>

namespace kivo {

namespace {
const QString kStatus = notification::SlideShowStatus;
const QString kScreenIndex = notificationKey::screenIndex;

QString log(const char *operation)
{
    return QStringLiteral("slideShowWindowController->%1...").arg(QLatin1String(operation));
}

int screenCount()
{
    return qMax(1, int(QGuiApplication::screens().size()));
}
} // namespace

slideShowWindowController::slideShowWindowController(int index, QObject *parent)
    : QObject(parent), mQueue(std::make_shared<KivoQueue>(&IsValidImageObject)),
      mFillsRunning(std::make_shared<std::atomic<int>>(0))
{
    mFillPool.setMaxThreadCount(1);
    mDecodePool.setMaxThreadCount(1);
    mDelayTimer.setSingleShot(true);
    connect(&mDelayTimer, &QTimer::timeout, this, &slideShowWindowController::endTurn);
    photoQuery.setDelegate([this](const QVariantMap &request) { doneSearchOperation(request); });

    // initWithIndex: the key set from the low 16 bits, then the index.
    fParameterDictionary = DisplayParameters::setupParametersForIndex(index);
    setScreenIndex(index);

    const Preferences &prefs = Preferences::standard();
    fRandomNumGenerator.setupRandomNumberGeneratorWithPhotos(
        randomNumberGenerator::kTagAllPhotos, randomNumberGenerator::kTagRandomOrder,
        int32_t(prefs.stringArray(QLatin1String(keys::prefAvailTransitionStyles)).size()));

    createWindows();
    setTransitionStyle(prefs.string(QLatin1String(keys::prefTransitionStyle)));
    resizeSelfToParent();
    showHideThisWindow();
    setupIdentifyWindow();
    observe();
}

slideShowWindowController::~slideShowWindowController()
{
    doSuspendSlideShow = true;
    mObservers.clear();
    disconnect(&Preferences::standard(), nullptr, this, nullptr);
    mDelayTimer.stop();
    // A batch being validated sees the reset and drops; a slide being decoded
    // finishes into a value that nobody collects.
    mQueue->reset();
    mFillPool.clear();
    mDecodePool.clear();
    mFillPool.waitForDone();
    mDecodePool.waitForDone();
    logLine(lcSlideshow(), log("dealloc") + QStringLiteral(" index = [%1]").arg(fScreenIndex));
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
    if (QGuiApplication::screens().size() > 1 && fScreenIndex == 0) {
        // Display 0 carries the operator console when there are several.
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
    if (!mWindow->isVisible())
        return;
    const Preferences &prefs = Preferences::standard();
    const QString key =
        DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
    mIdentify->setText(
        IdentifyOverlay::identifyText(prefs.string(key), fScreenIndex + 1, screenCount()));
    const QString secondsKey = QLatin1String(keys::prefIdentifyScreenInSeconds);
    const int seconds = prefs.contains(secondsKey) ? int(prefs.integer(secondsKey))
                                                   : IdentifyOverlay::kDefaultSeconds;
    mIdentify->identify(mWindow->geometry(), seconds);
}

void slideShowWindowController::observe()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    // Handlers run on the posting thread; the controller's work belongs to
    // the main thread, so a post from elsewhere is handed over.
    auto route = [this](void (slideShowWindowController::*handler)(const Notification &)) {
        QPointer<slideShowWindowController> self(this);
        return [self, handler](const Notification &n) {
            if (QThread::currentThread() == self->thread()) {
                (self->*handler)(n);
                return;
            }
            QMetaObject::invokeMethod(
                self.data(),
                [self, handler, n] {
                    if (self)
                        (self.data()->*handler)(n);
                },
                Qt::QueuedConnection);
        };
    };
    using C = slideShowWindowController;
    mObservers.push_back(center.addObserver(notification::SlideShowParamChanged,
                                            route(&C::handleSlideShowParamChangedNotification)));
    mObservers.push_back(center.addObserver(notification::SlideShowToggleShow,
                                            route(&C::handleSlideShowParamToggleShowNotification)));
    mObservers.push_back(center.addObserver(notification::RequestSlideShowStatus,
                                            route(&C::handleSlideShowRequestStatusNotification)));
    mObservers.push_back(center.addObserver(notification::SlideShowToggleTest,
                                            route(&C::handleSlideTestNotification)));
    mObservers.push_back(center.addObserver(notification::SlideShowChangeTransitionStyle,
                                            route(&C::handleSlideShowChangeTransitionStyle)));
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

void slideShowWindowController::setTransitionStyle(const QString &style)
{
    if (style == mTransitionStyle && mSlideView->transitionStyleName() == style)
        return;
    mTransitionStyle = style;
    mSlideView->updateSubviewsWithTransition(style);
}

void slideShowWindowController::broadcastSlideShowStatus()
{
    QVariantMap info;
    info.insert(notificationKey::mesg, doSuspendSlideShow
                                           ? QStringLiteral("<Slide Show is NOT Running...>")
                                           : QStringLiteral("<Slide Show is Running...>"));
    info.insert(kScreenIndex, fScreenIndex);
    NotificationCenter::defaultCenter().post(kStatus, QVariant::fromValue<QObject *>(this), info);
}

void slideShowWindowController::postFolderStatus(const QString &folder, bool playing)
{
    const QString code = QFileInfo(QDir::cleanPath(folder)).fileName();
    QString status = code;
    if (playing) {
        const QString key =
            DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
        // A display without a name shows the code alone.
        const QString name = Preferences::standard().string(key);
        if (!name.trimmed().isEmpty())
            status = QStringLiteral("%1 (%2)").arg(code, name);
    }
    QVariantMap info;
    info.insert(QStringLiteral("code"), code);
    info.insert(notificationKey::codeStatus, status);
    info.insert(notificationKey::screenIsPlaying, playing);
    info.insert(kScreenIndex, fScreenIndex);
    NotificationCenter::defaultCenter().post(kStatus, QVariant::fromValue<QObject *>(this), info);
}

} // namespace kivo
