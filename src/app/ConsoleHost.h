#pragma once

#include "console/ConsoleDelegate.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace kivo {

class MainWindowController;
class PreferencesWindow;

// The delegate's side of the operator console: owns the console window and
// the preferences window and answers the console's questions.
class ConsoleHost : public QObject, public ConsoleDelegate
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<QStringList()> displayFolders; // folder each display plays, by index
        std::function<void()> relaunch;
        std::function<void(int tag)> reveal;
    };

    explicit ConsoleHost(Hooks hooks, QObject *parent = nullptr);
    ~ConsoleHost() override;

    MainWindowController *console() const;

    // Shows the console and centres it on the main screen 0.2 s later.
    void showConsole();
    // The console to the front, floating above other windows, centred.
    void raiseConsole();
    void setMenuBarVisible(bool visible);

    QString getSlideshowWindowName(const QString &code) override;
    void openPrefs() override;
    void relaunchApp() override;
    void showMenu() override;

private:
    Hooks m_hooks;
    QPointer<MainWindowController> m_console;
    QPointer<PreferencesWindow> m_prefs;
};

} // namespace kivo
