#pragma once

#include "LogRateLimit.h"
#include "SlideDecoder.h"
#include "platform/NotificationCenter.h"
#include "randomNumberGenerator.h"
#include "station/DisplayParameters.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>

class QWidget;

namespace kivo {

class CaptionStrip;
class KivoQueue;
class SlideshowView;
class zoomedInNSImageView;

// Plays one display's queue and owns its running state. A slide turn is a
// chain of main-thread steps: take the next path, check and decode it on a
// worker at the view's size (bounded in time), show it, wait the display's
// delay on a timer, start the next turn. A display with nothing it can show
// (a whole round of the queue shown nothing, or its folder lost every photo)
// idles: it asks for its folder to be listed again (relistDue), at the
// display's delay or a growing back-off, until a slide shows. Answers the
// requests that act on the running state ("SlideShowToggleShow",
// "RequestSlideShowStatus", "SlideShowToggleTest",
// "SlideShowChangeTransitionStyle") and reports it with "SlideShowStatus",
// sent in the name of its parent (the display's controller).
class SlidePlayer : public QObject
{
    Q_OBJECT
public:
    // The display's views, owned by its window, which outlives the player.
    struct Views
    {
        QWidget *window = nullptr;
        SlideshowView *slideView = nullptr;
        zoomedInNSImageView *zoomedInView = nullptr;
        CaptionStrip *caption = nullptr;
    };

    static constexpr int kFirstIdleWaitMs = 2000;
    static constexpr int kMaxIdleWaitMs = 30000;

    // Plays queue for display index, with the display's parameter keys.
    SlidePlayer(int index, const DisplayParameterMap &parameters, std::shared_ptr<KivoQueue> queue,
                Views views, QObject *parent);

    // Starts the display: slides, or the movie branch, by its preferences.
    void startSequence();
    // Clears the pause, starts the display and reports it running.
    void play();
    // Pauses for good: the running turn ends without a next one.
    void stop();
    // Takes the slide off the screen at once (its folder has no photo left):
    // the background shows, the caption is blank, and a slide still being
    // decoded is not shown.
    void clearSlide();
    // Posts the running state ("SlideShowStatus" with "mesg").
    void broadcastSlideShowStatus();

    void handleSlideShowParamToggleShowNotification(const Notification &n);
    void handleSlideShowRequestStatusNotification(const Notification &n);
    // Shows the next queued slide at once, outside the turn chain, when the
    // request's "screenIndex" is this display's (or -1, or absent: every display).
    void handleSlideTestNotification(const Notification &n);
    void handleSlideShowChangeTransitionStyle(const Notification &n);

    void setTransitionStyle(const QString &style);

    bool isSuspended() const { return doSuspendSlideShow; }
    bool isInsideLoop() const { return isInsideSlideShowLoop; }
    // Waiting for its folder to give something it can show.
    bool isIdle() const { return m_idle; }
    // The display's delay between slides.
    int delayMs() const;
    SlideDecoder &decoder() { return m_decoder; }
    // The path shown by the last turn that decoded its image.
    const QString &currentSlidePath() const { return m_currentSlidePath; }

    // The caption of a photo (CaptionStrip::captionForPath).
    static QString captionForPath(const QString &path);

signals:
    // A turn put a slide on screen (path of the photo).
    void slideShown(const QString &path);
    // Idle: the folder should be listed again.
    void relistDue();

private:
    void startSlideShow();
    void startMovie();
    void doSlideShowInThread3();
    void finishTurn(const SlideDecoder::Result &result);
    // Counts a turn that showed nothing (counted 0 when its entry left the
    // queue); idles after a whole round of them. True when it idled.
    bool nothingShown(int counted);
    bool idle();
    void idleTimeout();
    void showSlide(const QImage &image, const QString &path);
    void waitForDelay();
    void endTurn();
    QSize slideSize() const;

    const int fScreenIndex;
    const DisplayParameterMap &fParameterDictionary;
    const std::shared_ptr<KivoQueue> m_queue;
    const Views m_views;
    SlideDecoder m_decoder;
    bool doSuspendSlideShow = false;
    bool isInsideSlideShowLoop = false;
    randomNumberGenerator fRandomNumGenerator;
    QString m_transitionStyle;
    QString m_currentSlidePath;
    // The queue's generation when the running turn's slide was taken: a slide
    // of a queue reset since then is not shown.
    uint64_t m_turnGeneration = 0;
    QTimer m_delayTimer;
    // Turns in a row that showed nothing.
    int m_nothingShown = 0;
    bool m_idle = false;
    int m_idleWaitMs = kFirstIdleWaitMs;
    QTimer m_idleTimer;
    LogRateLimit m_failureLog;
};

} // namespace kivo
