#include "SlidePlayer.h"

#include "CaptionStrip.h"
#include "KivoQueue.h"
#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
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
                         std::shared_ptr<KivoQueue> queue, Views views, QObject *parent)
    : QObject(parent), fScreenIndex(index), fParameterDictionary(parameters),
      m_queue(std::move(queue)), m_views(views)
{
    m_delayTimer.setSingleShot(true);
    connect(&m_delayTimer, &QTimer::timeout, this, &SlidePlayer::endTurn);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &SlidePlayer::idleTimeout);
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
    QSize size = m_views.slideView->size();
    if (size.isEmpty())
        size = m_views.window->size();
    return (QSizeF(size) * m_views.slideView->devicePixelRatioF()).toSize();
}

void SlidePlayer::setTransitionStyle(const QString &style)
{
    if (style == m_transitionStyle && m_views.slideView->transitionStyleName() == style)
        return;
    m_transitionStyle = style;
    m_views.slideView->updateSubviewsWithTransition(style);
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
    m_delayTimer.stop();
    m_idleTimer.stop();
    m_idle = false;
}

void SlidePlayer::clearSlide()
{
    m_views.slideView->clearSlide();
    m_views.zoomedInView->clearImage();
    m_views.caption->setText(QString());
    m_currentSlidePath.clear();
    // Nothing is left to wait for: the next photo queued shows at once.
    if (m_delayTimer.isActive()) {
        m_delayTimer.stop();
        endTurn();
    }
}

void SlidePlayer::startMovie()
{
    m_views.zoomedInView->hide();
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
    if (m_queue->isEmpty()) {
        // A folder that lost every photo is listed again until it has some.
        if (!folder.isEmpty()) {
            idle();
            return;
        }
        doSuspendSlideShow = true;
        broadcastSlideShowStatus();
        return;
    }
    if (folder.isEmpty()) {
        logLine(lcSlideshow(), QStringLiteral("NO Path Set for SlideShow..."));
        return;
    }
    if (m_decoder.isBlocked()) {
        idle();
        return;
    }
    isInsideSlideShowLoop = true;

    m_turnGeneration = m_queue->generation();
    const std::optional<QString> next = m_queue->getNextObject();
    if (!next || doSuspendSlideShow) {
        endTurn();
        return;
    }
    // The folder and the file are checked on the worker too: a share that
    // does not answer must not hold up the main thread. The slide on screen
    // stays until the next one is decoded.
    m_decoder.load(folder, *next, slideSize(),
                   [this](const SlideDecoder::Result &result) { finishTurn(result); });
}

void SlidePlayer::finishTurn(const SlideDecoder::Result &result)
{
    using Outcome = SlideDecoder::Result::Outcome;
    const QString opening = traceArrow(kTraceObject, u"doSlideShowInThread3");
    switch (result.outcome) {
    case Outcome::NoFolder:
        if (idle())
            logLine(lcSlideshow(), QStringLiteral("NO Path Set for SlideShow..."));
        return;
    case Outcome::Missing:
    case Outcome::Directory:
        logLine(lcSlideshow(), opening + QStringLiteral("[%1] %2").arg(result.path, result.error));
        logLine(lcSlideshow(),
                QStringLiteral("nextItemPath[%1] is INVALID or No Longer Exists......")
                    .arg(result.path));
        // Dropped, so a photo that is gone is logged once, not every round.
        m_queue->removeObject(result.path);
        if (!nothingShown(0))
            endTurn();
        return;
    case Outcome::TimedOut:
        // Dropped too, so it holds up no other turn; the next listing of the
        // folder puts it back once it can be read.
        m_queue->removeObject(result.path);
        if (!nothingShown(0))
            waitForDelay();
        return;
    case Outcome::Undecodable:
        m_failureLog.log(
            lcSlideshow(),
            opening + QStringLiteral("unable to load [%1]: %2").arg(result.path, result.error));
        if (!nothingShown(1))
            waitForDelay();
        return;
    case Outcome::Loaded:
        if (m_queue->generation() == m_turnGeneration)
            break;
        if (!nothingShown(0))
            endTurn();
        return;
    }
    m_nothingShown = 0;
    m_idle = false;
    m_idleTimer.stop();
    showSlide(result.image, result.path);
    m_views.caption->setText(captionForPath(result.path));
    m_currentSlidePath = result.path;
    emit slideShown(result.path);
    waitForDelay();
}

bool SlidePlayer::nothingShown(int counted)
{
    m_nothingShown += counted;
    if (m_nothingShown < m_queue->entries().size() || doSuspendSlideShow)
        return false;
    idle();
    return true;
}

bool SlidePlayer::idle()
{
    isInsideSlideShowLoop = false;
    if (!doSuspendSlideShow) {
        doSuspendSlideShow = true;
        broadcastSlideShowStatus();
    }
    const bool entering = !m_idle;
    if (entering) {
        m_idle = true;
        m_idleWaitMs = kFirstIdleWaitMs;
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"doSlideShowInThread3") +
                                   QStringLiteral("nothing to show, waiting for photos..."));
    }
    m_idleTimer.start(qMax(delayMs(), m_idleWaitMs));
    return entering;
}

void SlidePlayer::idleTimeout()
{
    m_idleWaitMs = qMin(2 * m_idleWaitMs, kMaxIdleWaitMs);
    m_idleTimer.start(qMax(delayMs(), m_idleWaitMs));
    emit relistDue();
}

void SlidePlayer::showSlide(const QImage &image, const QString &path)
{
    const Mode mode = transitionMode();
    if (mode == Mode::None) {
        m_views.slideView->doHide(true);
        m_views.zoomedInView->setImage(image, path);
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
    m_views.zoomedInView->clearImage();
    m_views.slideView->transitionToImage(image, path);
}

int SlidePlayer::delayMs() const
{
    const double seconds = DisplayParameters::value(fParameterDictionary,
                                                    QLatin1String(keys::sPrefKeyForSlideShowDelay),
                                                    Preferences::standard())
                               .toDouble();
    return std::isfinite(seconds) && seconds > 0 ? int(qMin(seconds, 86400.0) * 1000) : 0;
}

void SlidePlayer::waitForDelay()
{
    m_delayTimer.start(delayMs());
}

void SlidePlayer::endTurn()
{
    if (doSuspendSlideShow) {
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"doSlideShowInThread3") +
                                   QStringLiteral("Forcing SlideShow to END..."));
        m_views.zoomedInView->clearImage();
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

void SlidePlayer::handleSlideTestNotification(const Notification &n)
{
    // Next Slide turns the display it names; one naming none, or -1, turns every display.
    const int index = n.userInfo.value(kScreenIndex, -1).toInt();
    if (index != -1 && index != fScreenIndex)
        return;
    if (m_decoder.isBlocked())
        return;
    const std::optional<QString> next = m_queue->getNextObject();
    if (!next)
        return;
    m_decoder.load(QString(), *next, slideSize(), [this](const SlideDecoder::Result &result) {
        if (result.image.isNull()) {
            logLine(lcSlideshow(), traceArrow(kTraceObject, u"handleSlideTestNotification") +
                                       QStringLiteral(" [%1] %2").arg(result.path, result.error));
            return;
        }
        m_views.slideView->transitionToImage(result.image);
    });
}

void SlidePlayer::handleSlideShowChangeTransitionStyle(const Notification &)
{
    setTransitionStyle(Preferences::standard().string(QLatin1String(keys::prefTransitionStyle)));
}

} // namespace kivo
