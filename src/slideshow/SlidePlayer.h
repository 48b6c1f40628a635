#pragma once

#include "platform/NotificationCenter.h"
#include "randomNumberGenerator.h"
#include "station/DisplayParameters.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <memory>

class QThreadPool;
class QWidget;

namespace kivo {

class CaptionStrip;
class KivoQueue;
class SlideshowView;
class zoomedInNSImageView;

// Plays one display's queue and owns its running state. A slide turn is a
// chain of main-thread steps: take the next path, decode it on a worker at
// the view's size, show it, wait the display's delay on a timer, start the
// next turn; so no thread outlives the player. Answers the requests that act
// on the running state ("SlideShowToggleShow", "RequestSlideShowStatus",
// "SlideShowToggleTest", "SlideShowChangeTransitionStyle") and reports it
// with "SlideShowStatus", sent in the name of its parent (the display's
// controller).
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

    // Plays queue for display index, with the display's parameter keys;
    // decodes on workers (values only in, an image out).
    SlidePlayer(int index, const DisplayParameterMap &parameters, std::shared_ptr<KivoQueue> queue,
                QThreadPool &workers, Views views, QObject *parent);

    // Starts the display: slides, or the movie branch, by its preferences.
    void startSequence();
    // Clears the pause, starts the display and reports it running.
    void play();
    // Pauses for good: the running turn ends without a next one.
    void stop();
    // Posts the running state ("SlideShowStatus" with "mesg").
    void broadcastSlideShowStatus();

    void handleSlideShowParamToggleShowNotification(const Notification &n);
    void handleSlideShowRequestStatusNotification(const Notification &n);
    // Shows the next queued slide at once, outside the turn chain.
    void handleSlideTestNotification(const Notification &n);
    void handleSlideShowChangeTransitionStyle(const Notification &n);

    void setTransitionStyle(const QString &style);
    QString transitionStyle() const { return mTransitionStyle; }

    bool isSuspended() const { return doSuspendSlideShow; }
    bool isInsideLoop() const { return isInsideSlideShowLoop; }
    // The path shown by the last turn that decoded its image.
    const QString &currentSlidePath() const { return mCurrentSlidePath; }

    // The caption of a photo (CaptionStrip::captionForPath).
    static QString captionForPath(const QString &path);

signals:
    // A turn put a slide on screen (path of the photo).
    void slideShown(const QString &path);

private:
    void startSlideShow();
    void startMovie();
    void doSlideShowInThread3();
    void showLoadedSlide(const QString &path, const QImage &image, const QString &error);
    void showSlide(const QImage &image, const QString &path);
    void waitForDelay();
    void endTurn();
    QSize slideSize() const;

    const int fScreenIndex;
    const DisplayParameterMap &fParameterDictionary;
    const std::shared_ptr<KivoQueue> mQueue;
    QThreadPool &mWorkers;
    const Views mViews;
    bool doSuspendSlideShow = false;
    bool isInsideSlideShowLoop = false;
    randomNumberGenerator fRandomNumGenerator;
    QString mTransitionStyle;
    QString mCurrentSlidePath;
    QTimer mDelayTimer;
};

} // namespace kivo
