#pragma once

#include "util/WorkerPool.h"
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace kivo {

class slideShowWindowController;

// Owns the display controllers, one per screen and one for each display
// pinned to a monitor (DisplayOutputs), and tells them when the screens or
// the pins change.
// Their work off the main thread (queue filling, slide decoding) runs on its
// pool, which outlives them.
class DisplayManager : public QObject
{
    Q_OBJECT
public:
    explicit DisplayManager(QObject *parent = nullptr);
    ~DisplayManager() override;

    // Creates the controller of display index and appends it. False when the
    // index is not the next free one.
    bool createDisplayController(int index);
    // Replaces the controllers by one per display (at least one).
    void setupWindowControllers();
    // Deletes every controller; none waits for its workers.
    void releaseDisplayControllers();

    int count() const { return int(m_controllers.size()); }
    slideShowWindowController *controller(int index) const;

    void startDisplayController(int index);
    // Identifies one display, or every display for a negative index; a larger
    // index does nothing.
    void identifyScreen(int index);
    // Pauses one display, or every display for a negative index, when it
    // plays ("SlideShowToggleShow" to each playing one).
    void stopSlideShow(int index);

    static int screenCount();

    // Display index to monitor name, for each display whose pinned monitor
    // is not attached now (its room shows nowhere meanwhile).
    QMap<int, QString> missingPinnedOutputs() const;

signals:
    // The displays followed a change of the screens (shown, hidden, placed again).
    void displaysRearranged();

private:
    void screensChanged();
    // Logs each pinned monitor that went missing or came back since last time.
    void reportMissingOutputs();

    // Two threads a display, so one display's queue filling never holds up
    // another's slides.
    WorkerPool m_workers;
    std::vector<std::unique_ptr<slideShowWindowController>> m_controllers;
    QMap<int, QString> m_reportedMissing;
};

} // namespace kivo
