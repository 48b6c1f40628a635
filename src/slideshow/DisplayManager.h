#pragma once

#include <QObject>

#include <memory>
#include <vector>

namespace kivo {

class slideShowWindowController;

// Owns the display controllers, one per screen in QGuiApplication::screens()
// order (position = display index), and tells them when the screens change.
class DisplayManager : public QObject
{
    Q_OBJECT
public:
    explicit DisplayManager(QObject *parent = nullptr);
    ~DisplayManager() override;

    // Creates the controller of display index and appends it. False when the
    // index is not the next free one.
    bool createDisplayController(int index);
    // Replaces the controllers by one per attached screen (at least one).
    void setupWindowControllers();
    // Deletes every controller; each stops and waits for its workers.
    void releaseDisplayControllers();

    int count() const { return int(mControllers.size()); }
    slideShowWindowController *controller(int index) const;

    void startDisplayController(int index);
    // Identifies one display, or every display for a negative index; a larger
    // index does nothing.
    void identifyScreen(int index);

    static int screenCount();

private:
    void screensChanged();

    std::vector<std::unique_ptr<slideShowWindowController>> mControllers;
};

} // namespace kivo
