#include "SlidePlayer.h"

#include "CaptionStrip.h"
#include "KivoQueue.h"
#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/SlideImageLoader.h"
#include "zoomedInNSImageView.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kivo {

namespace {
const QString kScreenIndex = notificationKey::screenIndex;

enum class Mode
{
    None,
    Random,
    Fixed
};

Mode transitionMode()
{
    const QString mode = Preferences::standard().string(QLatin1String(keys::prefUseTransitionMode));
    if (mode.isEmpty() ||
        mode.compare(QLatin1String(keys::transitionModeNone), Qt::CaseInsensitive) == 0)
        return Mode::None;
    if (mode.compare(QLatin1String(keys::transitionModeRandom), Qt::CaseInsensitive) == 0)
        return Mode::Random;
    return Mode::Fixed;
}

// The log keeps naming the display's controller, as it always has.
constexpr QStringView kTraceObject = u"slideShowWindowController";
} // namespace

SlidePlayer::SlidePlayer(int index, const DisplayParameterMap &parameters,
                         std::shared_ptr<KivoQueue> queue, QThreadPool &workers, Views views,
                         QObject *parent)
    : QObject(parent), fScreenIndex(index), fParameterDictionary(parameters),
      mQueue(std::move(queue)), mWorkers(workers), mViews(views)
{
    mDelayTimer.setSingleShot(true);
    connect(&mDelayTimer, &QTimer::timeout, this, &SlidePlayer::endTurn);
    const Preferences &prefs = Preferences::standard();
    fRandomNumGenerator.setupRandomNumberGeneratorWithPhotos(
        randomNumberGenerator::kTagAllPhotos, randomNumberGenerator::kTagRandomOrder,
        int32_t(prefs.stringArray(QLatin1String(keys::prefAvailTransitionStyles)).size()));
    setTransitionStyle(prefs.string(QLatin1String(keys::prefTransitionStyle)));
}

QString SlidePlayer::captionForPath(const QString &path)
{
    return CaptionStrip::captionForPath(path);
}

QSize SlidePlayer::slideSize() const
{
    QSize size = mViews.slideView->size();
    if (size.isEmpty())
        size = mViews.window->size();
    return (QSizeF(size) * mViews.slideView->devicePixelRatioF()).toSize();
}

void SlidePlayer::setTransitionStyle(const QString &style)
{
    if (style == mTransitionStyle && mViews.slideView->transitionStyleName() == style)
        return;
    mTransitionStyle = style;
    mViews.slideView->updateSubviewsWithTransition(style);
}

void SlidePlayer::broadcastSlideShowStatus()
{
    QVariantMap info;
    info.insert(notificationKey::mesg, doSuspendSlideShow
                                           ? QStringLiteral("<Slide Show is NOT Running...>")
                                           : QStringLiteral("<Slide Show is Running...>"));
    info.insert(kScreenIndex, fScreenIndex);
    NotificationCenter::defaultCenter().post(notification::SlideShowStatus,
                                             QVariant::fromValue<QObject *>(parent()), info);
}

void SlidePlayer::startSequence()
{
    const Preferences &prefs = Preferences::standard();
    auto flag = [&](const char *role) {
        return DisplayParameters::value(fParameterDictionary, QLatin1String(role), prefs).toBool();
    };
    const bool movieFirst = flag(keys::sPrefKeyForPlayMovieFirst);
    const bool playMovie = flag(keys::sPrefKeyForDoPlayMovie);
    const bool slideShow = flag(keys::sPrefKeyForDoSlideShow);
    if (movieFirst && playMovie)
        startMovie();
    else if (slideShow)
        startSlideShow();
    else if (playMovie)
        startMovie();
    else
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"startSequence") +
                                   QStringLiteral("Did NOT StartSequence........"));
}

void SlidePlayer::play()
{
    doSuspendSlideShow = false;
    startSequence();
    broadcastSlideShowStatus();
}

void SlidePlayer::stop()
{
    doSuspendSlideShow = true;
    mDelayTimer.stop();
}

void SlidePlayer::startMovie()
{
    mViews.zoomedInView->hide();
    NotificationCenter::defaultCenter().post(notification::updateAnimationMovieNotification);
}

void SlidePlayer::startSlideShow()
{
    if (fScreenIndex == 0 && QGuiApplication::screens().size() > 1)
        return;
    // Queued, like starting a thread: the caller finishes first.
    QTimer::singleShot(0, this, &SlidePlayer::doSlideShowInThread3);
}

void SlidePlayer::doSlideShowInThread3()
{
    if (isInsideSlideShowLoop) {
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"doSlideShowInThread3") +
                                   QStringLiteral("Already inside a slideshow loop..."));
        return;
    }
    const QString folder = DisplayParameters::value(fParameterDictionary,
                                                    QLatin1String(keys::sPrefKeyForSlideShowPath),
                                                    Preferences::standard())
                               .toString();
    const bool mayGoOn = !folder.isEmpty() && QFileInfo::exists(folder);
    if (mQueue->isEmpty()) {
        doSuspendSlideShow = true;
        broadcastSlideShowStatus();
        return;
    }
    if (!mayGoOn) {
        logLine(lcSlideshow(), QStringLiteral("NO Path Set for SlideShow..."));
        return;
    }
    isInsideSlideShowLoop = true;

    const std::optional<QString> next = mQueue->getNextObject();
    if (!next || doSuspendSlideShow) {
        endTurn();
        return;
    }
    const QString path = *next;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        logLine(lcSlideshow(),
                traceArrow(kTraceObject, u"doSlideShowInThread3") +
                    (info.exists() ? QStringLiteral("[%1] is a directory").arg(path)
                                   : QStringLiteral("[%1] does not exist").arg(path)));
        logLine(lcSlideshow(),
                QStringLiteral("nextItemPath[%1] is INVALID or No Longer Exists......").arg(path));
        endTurn();
        return;
    }
    // The slide on screen stays until the next one is decoded.
    SlideImageLoader::loadAsync(&mWorkers, path, slideSize(), this,
                                [this, path](const QImage &image, const QString &error) {
                                    showLoadedSlide(path, image, error);
                                });
}

void SlidePlayer::showLoadedSlide(const QString &path, const QImage &image, const QString &error)
{
    if (image.isNull()) {
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"doSlideShowInThread3") +
                                   QStringLiteral("unable to load [%1]: %2").arg(path, error));
    } else {
        showSlide(image, path);
        mViews.caption->setText(captionForPath(path));
        mCurrentSlidePath = path;
        emit slideShown(path);
    }
    waitForDelay();
}

void SlidePlayer::showSlide(const QImage &image, const QString &path)
{
    const Mode mode = transitionMode();
    if (mode == Mode::None) {
        mViews.slideView->doHide(true);
        mViews.zoomedInView->setImage(image, path);
        return;
    }
    if (mode == Mode::Random) {
        const QStringList styles =
            Preferences::standard().stringArray(QLatin1String(keys::prefAvailTransitionStyles));
        if (!styles.isEmpty()) {
            const int drawn = fRandomNumGenerator.getNextRandomNumber(1);
            setTransitionStyle(styles.at(qBound(0, drawn, int(styles.size()) - 1)));
        }
    }
    mViews.zoomedInView->clearImage();
    mViews.slideView->transitionToImage(image, path);
}

void SlidePlayer::waitForDelay()
{
    const double seconds = DisplayParameters::value(fParameterDictionary,
                                                    QLatin1String(keys::sPrefKeyForSlideShowDelay),
                                                    Preferences::standard())
                               .toDouble();
    const int ms = std::isfinite(seconds) && seconds > 0 ? int(qMin(seconds, 86400.0) * 1000) : 0;
    mDelayTimer.start(ms);
}

void SlidePlayer::endTurn()
{
    if (doSuspendSlideShow) {
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"doSlideShowInThread3") +
                                   QStringLiteral("Forcing SlideShow to END..."));
        mViews.zoomedInView->clearImage();
        isInsideSlideShowLoop = false;
        return;
    }
    isInsideSlideShowLoop = false;
    startSlideShow();
}

void SlidePlayer::handleSlideShowParamToggleShowNotification(const Notification &n)
{
    if (n.userInfo.isEmpty())
        return;
    // A request without an index addresses display 0.
    if (n.userInfo.value(kScreenIndex, 0).toInt() != fScreenIndex) {
        logLine(lcSlideshow(),
                traceArrow(kTraceObject, u"handleSlideShowParamToggleShowNotification") +
                    QStringLiteral(" NOT for us..."));
        return;
    }
    if (doSuspendSlideShow) {
        play();
        return;
    }
    doSuspendSlideShow = true;
    broadcastSlideShowStatus();
}

void SlidePlayer::handleSlideShowRequestStatusNotification(const Notification &n)
{
    if (!n.userInfo.contains(kScreenIndex))
        return;
    const int index = n.userInfo.value(kScreenIndex).toInt();
    if (index == fScreenIndex || index == -1)
        broadcastSlideShowStatus();
}

void SlidePlayer::handleSlideTestNotification(const Notification &)
{
    const std::optional<QString> next = mQueue->getNextObject();
    if (!next)
        return;
    const QString path = *next;
    SlideImageLoader::loadAsync(
        &mWorkers, path, slideSize(), this,
        [this, path](const QImage &image, const QString &error) {
            if (image.isNull()) {
                logLine(lcSlideshow(), traceArrow(kTraceObject, u"handleSlideTestNotification") +
                                           QStringLiteral(" [%1] %2").arg(path, error));
                return;
            }
            mViews.slideView->transitionToImage(image);
        });
}

void SlidePlayer::handleSlideShowChangeTransitionStyle(const Notification &)
{
    setTransitionStyle(Preferences::standard().string(QLatin1String(keys::prefTransitionStyle)));
}

} // namespace kivo
