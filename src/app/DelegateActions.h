#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

namespace kivo {

class StationSubsystems;
class WorkerPool;

// The delegate's actions from the menus, the console and the timers:
// identify displays, pause displays, reveal a folder, relaunch.
class DelegateActions : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRevealTempFolderTag = 102;

    DelegateActions(StationSubsystems &subsystems, WorkerPool &workers, QObject *parent = nullptr);

    // Display indices that identifyScreen(index) identifies among count
    // displays: one in range, every one for a negative index, none beyond.
    static QList<int> identifyTargets(int index, int count);

    void identifyScreen(int index);
    void doIdentifyAll();
    // Menu tags count displays from 1; tag 0 names none.
    void doIdentify(int tag);
    // Pauses display tag - 1 when it plays; tag 0 pauses every display.
    void doStopSlideShow(int tag);
    // Tag 102 reveals the working folder, any other the main images folder.
    void doRevealInFinder(int tag);
    // True when the station is quitting to be started again.
    bool relaunchApp(const QVariant &request);

private:
    StationSubsystems &m_subsystems;
    WorkerPool &m_workers;
};

} // namespace kivo
