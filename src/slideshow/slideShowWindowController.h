#pragma once

#include "KivoQueue.h"
#include "platform/NotificationCenter.h"
#include "station/DisplayParameters.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QScreen;

namespace kivo {

class borderlessWindow;
class CaptionStrip;
class DisplayNameField;
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
    // Creates the controller of display index (its screen: DisplayOutputs),
    // its window and overlays, and shows or hides the window. Work off the
    // main thread runs on workers, which must outlive the controller.
    slideShowWindowController(int index, WorkerPool &workers, QObject *parent = nullptr);
    // Pauses, stops observing and abandons queue filling; waits for no
    // worker (they hold only values).
    ~slideShowWindowController() override;

    int screenIndex() const { return fScreenIndex; }
    const DisplayParameterMap &parameters() const { return fParameterDictionary; }
    // The folder the display was last told to play; empty when none.
    const QString &sourcePath() const;

    // Starts the display: slides, or the movie branch, by its preferences;
    // the folder it played before a relaunch is taken up again.
    void startSequence();
    // Flashes the display's name on its screen for prefIdentifyScreenInSeconds
    // (default 5), also over the console on display 0's screen.
    void identify();
    // Shows or hides the window by the screen count and places it again.
    void handleScreenDidChange();

    SlidePlayer &player() const { return *m_player; }
    FolderAssignment &folderAssignment() const { return *m_assignment; }
    KivoQueue &queue() const { return *m_queue; }

    // Views and windows, for the station and for tests.
    borderlessWindow *window() const { return m_window.get(); }
    SlideshowView *slideView() const { return m_slideView; }
    zoomedInNSImageView *zoomedInView() const { return m_zoomedInView; }
    CaptionStrip *captionStrip() const { return m_caption; }
    // The window's name field, bound to the display's name preference.
    DisplayNameField *nameField() const { return m_nameField; }

    // The screen this display covers; null when it is gone or its pinned
    // monitor is missing.
    QScreen *screen() const;

    // Proof of life: slides put on screen since the display was made, and
    // the milliseconds since its window last painted a frame (-1: never).
    int slidesShown() const { return m_slidesShown; }
    qint64 msSinceLastPaint() const;
    // Its window is up, not paused, and a slide is on screen or on its way.
    bool isPlaying() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

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
    std::shared_ptr<KivoQueue> m_queue;

    std::unique_ptr<borderlessWindow> m_window;
    SlideshowView *m_slideView = nullptr;
    zoomedInNSImageView *m_zoomedInView = nullptr;
    CaptionStrip *m_caption = nullptr;
    IdentifyOverlay *m_identify = nullptr;
    DisplayNameField *m_nameField = nullptr;

    // Destroyed before the window and the parameters they use.
    std::unique_ptr<SlidePlayer> m_player;
    std::unique_ptr<FolderAssignment> m_assignment;
    std::vector<ObserverToken> m_observers;
    int m_slidesShown = 0;
    QElapsedTimer m_sinceStart;
    qint64 m_lastPaintMs = -1; // on m_sinceStart
};

} // namespace kivo
