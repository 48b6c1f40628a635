#pragma once

#include "platform/NotificationCenter.h"
#include "station/DisplayParameters.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>

namespace kivo {

class KivoQueue;
class SlidePlayer;
class WorkerPool;

// The folder one display plays: takes "SlideShowParamChanged" requests
// addressed to it, records the folder in the preferences, reports the code
// given up and the code taken ("SlideShowStatus" with "codeStatus"), lists the
// folder through the photo search and fills the queue, both on workers, one
// batch at a time (dropping queued photos that are gone; a folder with none
// left takes the slide off the screen), then starts the player as soon as a
// batch is queued, and kAutoStartMs after the search at the latest (later only
// while the queue is still being filled). A slide shown that is no longer
// queued is taken off the screen as the player starts. Status posts go out in
// the name of its parent (the display's controller).
class FolderAssignment : public QObject
{
    Q_OBJECT
public:
    FolderAssignment(int index, const DisplayParameterMap &parameters,
                     std::shared_ptr<KivoQueue> queue, WorkerPool &workers, SlidePlayer &player,
                     QObject *parent);

    static constexpr int kAutoStartMs = 1000;

    void handleSlideShowParamChangedNotification(const Notification &n);
    // Lists the folder again and queues what is new.
    void rebuildList();
    // At start: the folder stored for the display before the station last
    // ended (repaired from its folder reference when it moved) is assigned
    // again, checked on a worker. Nothing when a folder was assigned
    // meanwhile or the stored one is gone.
    void resumeStoredFolder();

    // The folder the display was last told to play; empty when none.
    const QString &sourcePath() const { return fSourcePath; }
    // The folder is being listed, or a batch is being validated or waits.
    bool isFilling() const { return queryStarted || m_fillRunning || !m_pendingFills.empty(); }

private:
    struct Fill
    {
        QStringList paths;
        uint64_t generation = 0;
    };

    void postFolderStatus(const QString &folder, bool playing);
    void setupAndStartQuery();
    void doneSearchOperation(const QStringList &found, uint64_t generation);
    void addToQueueInThread(const QStringList &paths, uint64_t generation);
    void startNextFill();
    void queueFillingDone();
    void autoStartDue();
    void doAutoStartQueue();

    const int fScreenIndex;
    const DisplayParameterMap &fParameterDictionary;
    const std::shared_ptr<KivoQueue> m_queue;
    WorkerPool &m_workers;
    SlidePlayer &m_player;
    QString fSourcePath;
    bool queryStarted = false;
    // A search was asked for while one ran; it runs when that one ends.
    bool m_searchAgain = false;
    std::deque<Fill> m_pendingFills;
    bool m_fillRunning = false;
    // The auto-start came while the queue was still being filled.
    bool m_autoStartWaitsForFill = false;
    // A search's start is due: at the end of its fill or at kAutoStartMs.
    bool m_startOnFill = false;
};

} // namespace kivo
