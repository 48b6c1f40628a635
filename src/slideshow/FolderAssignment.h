#pragma once

#include "platform/NotificationCenter.h"
#include "station/DisplayParameters.h"
#include "station/KivoPhotoQueryController.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>

class QThreadPool;

namespace kivo {

class KivoQueue;
class SlidePlayer;

// The folder one display plays: takes "SlideShowParamChanged" requests
// addressed to it, records the folder in the preferences, reports the code
// given up and the code taken ("SlideShowStatus" with "codeStatus"), lists the
// folder through the photo search and fills the queue on a worker, one batch
// at a time, then starts the player a second later. Status posts go out in
// the name of its parent (the display's controller).
class FolderAssignment : public QObject
{
    Q_OBJECT
public:
    FolderAssignment(int index, const DisplayParameterMap &parameters,
                     std::shared_ptr<KivoQueue> queue, QThreadPool &workers, SlidePlayer &player,
                     QObject *parent);

    void handleSlideShowParamChangedNotification(const Notification &n);

    // The folder the display was last told to play; empty when none.
    const QString &sourcePath() const { return fSourcePath; }
    bool isQueryRunning() const { return queryStarted; }
    // A batch is being validated or waits for its turn.
    bool isFilling() const { return mFillRunning || !mPendingFills.empty(); }
    // Waits (event loop running) until queue filling is idle; for tests and
    // benchmarks.
    bool waitForQueueFilling(int timeoutMs);

private:
    struct Fill
    {
        QStringList paths;
        uint64_t generation = 0;
    };

    void postFolderStatus(const QString &folder, bool playing);
    void rebuildList();
    void setupAndStartQuery();
    void doneSearchOperation(const QVariantMap &request);
    void addToQueueInThread(const QStringList &paths);
    void startNextFill();
    void queueFillingDone();
    void autoStartDue();
    void doAutoStartQueue();

    const int fScreenIndex;
    const DisplayParameterMap &fParameterDictionary;
    const std::shared_ptr<KivoQueue> mQueue;
    QThreadPool &mWorkers;
    SlidePlayer &mPlayer;
    QString fSourcePath;
    bool queryStarted = false;
    KivoPhotoQueryController photoQuery;
    std::deque<Fill> mPendingFills;
    bool mFillRunning = false;
    // The auto-start came while the queue was still being filled.
    bool mAutoStartWaitsForFill = false;
};

} // namespace kivo
