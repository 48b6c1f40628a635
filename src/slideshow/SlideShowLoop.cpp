// The display controller's playing side: starting a display and the chain of
// slide turns. A turn is a chain of main-thread steps; only decoding runs on
// a worker, and the delay is a timer, so no thread outlives the controller.

#include "slideShowWindowController.h"

#include "CaptionStrip.h"
#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "borderlessWindow.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/SlideImageLoader.h"
#include "zoomedInNSImageView.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kivo {

namespace {
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
} // namespace

QString slideShowWindowController::captionForPath(const QString &path)
{
    QString name = QFileInfo(path).completeBaseName();
    name.remove(QStringLiteral("_overlay"));
    return name;
}

QSize slideShowWindowController::slideSize() const
{
    QSize size = mSlideView->size();
    if (size.isEmpty())
        size = mWindow->size();
    return (QSizeF(size) * mSlideView->devicePixelRatioF()).toSize();
}

void slideShowWindowController::startSequence()
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
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"startSequence") +
                                   QStringLiteral("Did NOT StartSequence........"));
}

void slideShowWindowController::startMovie()
{
    mZoomedInView->hide();
    NotificationCenter::defaultCenter().post(QStringLiteral("updateAnimationMovieNotification"));
}

void slideShowWindowController::startSlideShow()
{
    if (fScreenIndex == 0 && QGuiApplication::screens().size() > 1)
        return;
    // Queued, like starting a thread: the caller finishes first.
    QMetaObject::invokeMethod(this, &slideShowWindowController::doSlideShowInThread3,
                              Qt::QueuedConnection);
}

void slideShowWindowController::doSlideShowInThread3()
{
    if (isInsideSlideShowLoop) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"doSlideShowInThread3") +
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
                traceArrow(u"slideShowWindowController", u"doSlideShowInThread3") +
                    (info.exists() ? QStringLiteral("[%1] is a directory").arg(path)
                                   : QStringLiteral("[%1] does not exist").arg(path)));
        logLine(lcSlideshow(),
                QStringLiteral("nextItemPath[%1] is INVALID or No Longer Exists......").arg(path));
        endTurn();
        return;
    }
    // The slide on screen stays until the next one is decoded.
    SlideImageLoader::loadAsync(&mDecodePool, path, slideSize(), this,
                                [this, path](const QImage &image, const QString &error) {
                                    showLoadedSlide(path, image, error);
                                });
}

void slideShowWindowController::showLoadedSlide(const QString &path, const QImage &image,
                                                const QString &error)
{
    if (image.isNull()) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"doSlideShowInThread3") +
                                   QStringLiteral("unable to load [%1]: %2").arg(path, error));
    } else {
        showSlide(image, path);
        mCaption->setText(captionForPath(path));
        mCurrentSlidePath = path;
        emit slideShown(path);
    }
    waitForDelay();
}

void slideShowWindowController::showSlide(const QImage &image, const QString &path)
{
    const Mode mode = transitionMode();
    if (mode == Mode::None) {
        mSlideView->doHide(true);
        mZoomedInView->setImage(image, path);
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
    mZoomedInView->clearImage();
    mSlideView->transitionToImage(image, path);
}

void slideShowWindowController::waitForDelay()
{
    const double seconds = DisplayParameters::value(fParameterDictionary,
                                                    QLatin1String(keys::sPrefKeyForSlideShowDelay),
                                                    Preferences::standard())
                               .toDouble();
    const int ms = std::isfinite(seconds) && seconds > 0 ? int(qMin(seconds, 86400.0) * 1000) : 0;
    mDelayTimer.start(ms);
}

void slideShowWindowController::endTurn()
{
    if (doSuspendSlideShow) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"doSlideShowInThread3") +
                                   QStringLiteral("Forcing SlideShow to END..."));
        mZoomedInView->clearImage();
        isInsideSlideShowLoop = false;
        return;
    }
    isInsideSlideShowLoop = false;
    startSlideShow();
}

} // namespace kivo
