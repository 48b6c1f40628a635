#pragma once

#include "console/ConsoleDelegate.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace kivo {

class MainWindowController;

// The delegate's side of the operator console: owns the console window and
// answers the console's questions; what acts on the displays and the
// preferences goes through the hooks.
class ConsoleHost : public QObject, public ConsoleDelegate
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<QStringList()> displayFolders; // folder each display plays, by index
        std::function<void()> relaunch;
        std::function<void(QWidget *over)> openPrefs;
        // Display index, or every display for -1.
        std::function<void(int index)> identifyScreen;
        std::function<void(int index)> stopSlideShow;
    };

    explicit ConsoleHost(Hooks hooks, QObject *parent = nullptr);
    ~ConsoleHost() override;

    MainWindowController *console() const;

    // Shows the console and centres it on the main screen 0.2 s later.
    void showConsole();
    // The console to the front as the key window (its open sheet above it),
    // floating above other windows, centred.
    void raiseConsole();
    void setMenuBarVisible(bool visible);

    QString getSlideshowWindowName(const QString &code) override;
    void openPrefs() override;
    void relaunchApp() override;
    void showMenu() override;
    void doIdentifyAll() override;
    void doIdentify(int tag) override;
    void doStopSlideShow(int tag) override;

private:
    // The reassignment sheet on the console, for the console's hand-over.
    void openReassignment(QVariantMap params);
    static void reassignmentDidEnd(QPointer<MainWindowController> console, int result);

    Hooks m_hooks;
    QPointer<MainWindowController> m_console;
};

} // namespace kivo
