#pragma once

#include "KivoQueue.h"
#include "platform/NotificationCenter.h"
#include "station/DisplayParameters.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QScreen;

namespace kivo {

class borderlessWindow;
class CaptionStrip;
class FolderAssignment;
class IdentifyOverlay;
class SlidePlayer;
class SlideshowView;
class WorkerPool;
class zoomedInNSImageView;

// Runs one display: owns its full-screen window, views and overlays and its
// slide queue, and composes the slide player (the turn chain and running
// state) with the folder assignment (what the display plays). Routes the
// notifications addressed to display indexes ("SlideShowParamChanged",
// "SlideShowToggleShow", "RequestSlideShowStatus", "SlideShowToggleTest",
// "SlideShowChangeTransitionStyle") to them. Lives on the main thread.
class slideShowWindowController : public QObject
{
    Q_OBJECT
public:
    // Creates the controller of display index (position of its screen in
    // QGuiApplication::screens()), its window and overlays, and shows or
    // hides the window. Work off the main thread runs on workers, which
    // must outlive the controller.
    slideShowWindowController(int index, WorkerPool &workers, QObject *parent = nullptr);
    // Pauses, stops observing and abandons queue filling; waits for no
    // worker (they hold only values).
    ~slideShowWindowController() override;

    int screenIndex() const { return fScreenIndex; }
    const DisplayParameterMap &parameters() const { return fParameterDictionary; }
    // The folder the display was last told to play; empty when none.
    const QString &sourcePath() const;

    // Starts the display: slides, or the movie branch, by its preferences.
    void startSequence();
    // Flashes the display's name on its screen for prefIdentifyScreenInSeconds
    // (default 5), also over the console on display 0's screen.
    void identify();
    // Shows or hides the window by the screen count and places it again.
    void handleScreenDidChange();

    SlidePlayer &player() const { return *mPlayer; }
    FolderAssignment &folderAssignment() const { return *mAssignment; }
    KivoQueue &queue() const { return *mQueue; }

    // Views and windows, for the station and for tests.
    borderlessWindow *window() const { return mWindow.get(); }
    SlideshowView *slideView() const { return mSlideView; }
    zoomedInNSImageView *zoomedInView() const { return mZoomedInView; }
    CaptionStrip *captionStrip() const { return mCaption; }

    // The screen this display covers; null when it is gone.
    QScreen *screen() const;

signals:
    // A turn put a slide on screen (path of the photo).
    void slideShown(const QString &path);

private:
    void setScreenIndex(int index);
    void createWindows();
    void resizeSelfToParent();
    void showHideThisWindow();
    void updateCaptionVisibility();
    void setupIdentifyWindow();
    void observe();
    void preferenceChanged(const QString &key);

    int fScreenIndex = 0;
    DisplayParameterMap fParameterDictionary;
    // Shared with queue-filling workers, so a late worker never sees it freed.
    std::shared_ptr<KivoQueue> mQueue;

    std::unique_ptr<borderlessWindow> mWindow;
    SlideshowView *mSlideView = nullptr;
    zoomedInNSImageView *mZoomedInView = nullptr;
    CaptionStrip *mCaption = nullptr;
    IdentifyOverlay *mIdentify = nullptr;

    // Destroyed before the window and the parameters they use.
    std::unique_ptr<SlidePlayer> mPlayer;
    std::unique_ptr<FolderAssignment> mAssignment;
    std::vector<ObserverToken> mObservers;
};

} // namespace kivo
