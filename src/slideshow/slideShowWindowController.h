#pragma once

#include "KivoQueue.h"
#include "platform/NotificationCenter.h"
#include "randomNumberGenerator.h"
#include "station/DisplayParameters.h"
#include "station/KivoPhotoQueryController.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QScreen;

namespace kivo {

class borderlessWindow;
class CaptionStrip;
class IdentifyOverlay;
class Preferences;
class SlideshowView;
class zoomedInNSImageView;

// Runs one display: its full-screen window, slideshow view, slide queue and
// photo search. Driven by notifications addressed to its display index
// ("SlideShowParamChanged", "SlideShowToggleShow", "RequestSlideShowStatus",
// "SlideShowToggleTest", "SlideShowChangeTransitionStyle"); reports with
// "SlideShowStatus". Lives on the main thread. A slide turn is a chain of
// main-thread steps: take the next path, decode it on a worker at the view's
// size, show it, wait the display's delay on a timer, start the next turn.
class slideShowWindowController : public QObject
{
    Q_OBJECT
public:
    // Creates the controller of display index (position of its screen in
    // QGuiApplication::screens()), its window and overlays, and shows or
    // hides the window.
    explicit slideShowWindowController(int index, QObject *parent = nullptr);
    // Pauses, stops observing, abandons queue filling and waits for workers.
    ~slideShowWindowController() override;

    int screenIndex() const { return fScreenIndex; }
    const DisplayParameterMap &parameters() const { return fParameterDictionary; }
    // The folder the display was last told to play; empty when none.
    const QString &sourcePath() const { return fSourcePath; }

    // Starts the display: slides, or the movie branch, by its preferences.
    void startSequence();
    // Posts the running state ("SlideShowStatus" with "mesg").
    void broadcastSlideShowStatus();
    // Flashes the display's name for prefIdentifyScreenInSeconds (default 5)
    // when its window is visible.
    void identify();
    // Shows or hides the window by the screen count and places it again.
    void handleScreenDidChange();

    void setTransitionStyle(const QString &style);
    QString transitionStyle() const { return mTransitionStyle; }

    bool isSuspended() const { return doSuspendSlideShow; }
    bool isInsideLoop() const { return isInsideSlideShowLoop; }
    bool isQueryRunning() const { return queryStarted; }

    // Views and windows, for the station and for tests.
    borderlessWindow *window() const { return mWindow.get(); }
    SlideshowView *slideView() const { return mSlideView; }
    zoomedInNSImageView *zoomedInView() const { return mZoomedInView; }
    CaptionStrip *captionStrip() const { return mCaption; }
    IdentifyOverlay *identifyOverlay() const { return mIdentify; }
    KivoQueue &queue() const { return *mQueue; }
    // The path shown by the last turn that decoded its image.
    const QString &currentSlidePath() const { return mCurrentSlidePath; }

    // The caption of a photo: its name without extension, "_overlay" removed.
    static QString captionForPath(const QString &path);

    // Waits (event loop running) until queue filling is idle; for tests and
    // benchmarks.
    bool waitForQueueFilling(int timeoutMs);

    // The screen this display covers; null when it is gone.
    QScreen *screen() const;

signals:
    // A turn put a slide on screen (path of the photo).
    void slideShown(const QString &path);

private:
    // Creation and windows (slideShowWindowController.cpp).
    void setScreenIndex(int index);
    void createWindows();
    void resizeSelfToParent();
    void showHideThisWindow();
    void updateCaptionVisibility();
    void setupIdentifyWindow();
    void observe();
    void preferenceChanged(const QString &key);

    // Requests (slideShowWindowController.cpp).
    void handleSlideShowParamChangedNotification(const Notification &n);
    void handleSlideShowParamToggleShowNotification(const Notification &n);
    void handleSlideShowRequestStatusNotification(const Notification &n);
    void handleSlideTestNotification(const Notification &n);
    void handleSlideShowChangeTransitionStyle(const Notification &n);
    void postFolderStatus(const QString &folder, bool playing);
    void rebuildList();
    void setupAndStartQuery();
    void doneSearchOperation(const QVariantMap &request);
    void addToQueueInThread(const QStringList &paths);
    void doAutoStartQueue();
    void autoStartDue();
    void queueFillingDone();

    // The slide turn (SlideShowLoop.cpp).
    void startSlideShow();
    void startMovie();
    void doSlideShowInThread3();
    void showLoadedSlide(const QString &path, const QImage &image, const QString &error);
    void showSlide(const QImage &image, const QString &path);
    void waitForDelay();
    void endTurn();
    QSize slideSize() const;

    int fScreenIndex = 0;
    DisplayParameterMap fParameterDictionary;
    QString fSourcePath;
    bool doSuspendSlideShow = false;
    bool isInsideSlideShowLoop = false;
    bool queryStarted = false;
    // The auto-start came while the queue was still being filled.
    bool mAutoStartWaitsForFill = false;
    KivoPhotoQueryController photoQuery;
    // Shared with queue-filling workers, so a late worker never sees it freed.
    std::shared_ptr<KivoQueue> mQueue;
    randomNumberGenerator fRandomNumGenerator;
    QString mTransitionStyle;
    QString mCurrentSlidePath;

    std::unique_ptr<borderlessWindow> mWindow;
    SlideshowView *mSlideView = nullptr;
    zoomedInNSImageView *mZoomedInView = nullptr;
    CaptionStrip *mCaption = nullptr;
    IdentifyOverlay *mIdentify = nullptr;

    QTimer mDelayTimer;
    QThreadPool mFillPool;   // queue filling, one batch at a time
    QThreadPool mDecodePool; // slide decoding
    std::shared_ptr<std::atomic<int>> mFillsRunning;
    std::vector<ObserverToken> mObservers;
};

} // namespace kivo
