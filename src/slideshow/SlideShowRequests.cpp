// The display controller's requests: folder assignment, photo search and
// queue filling, pause and resume, status, next slide now, transition style.

#include "slideShowWindowController.h"

#include "SlideshowLog.h"
#include "SlideshowView.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/FolderValidation.h"
#include "station/MyAliasKit.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/SlideImageLoader.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace kivo {

namespace {
const QString kScreenIndex = notificationKey::screenIndex;

// The display index a request names; a missing key counts as 0.
int addressedIndex(const QVariantMap &info)
{
    return info.value(kScreenIndex, 0).toInt();
}
} // namespace

void slideShowWindowController::handleSlideShowParamChangedNotification(const Notification &n)
{
    if (n.userInfo.isEmpty())
        return;
    if (addressedIndex(n.userInfo) != fScreenIndex) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController",
                                          u"handleSlideShowParamChangedNotification") +
                                   QStringLiteral(" NOT for us..."));
        return;
    }
    const QString newPath = n.userInfo.value(notificationKey::sourcePath).toString();
    if (!newPath.isEmpty() && !fSourcePath.isEmpty() &&
        newPath.compare(fSourcePath, Qt::CaseInsensitive) != 0)
        mQueue->reset();

    Preferences &prefs = Preferences::standard();
    if (!newPath.isEmpty() && QFileInfo::exists(newPath)) {
        // One write of the preferences file for the three values.
        using namespace keys;
        QVariantMap values{
            {fParameterDictionary.value(QLatin1String(sPrefKeyForSlideShowPath)), newPath},
            {fParameterDictionary.value(QLatin1String(sPrefKeyForSlideShowPathAliasDataIsValid)),
             true}};
        const QByteArray alias = MyAliasKit::aliasDataForPath(newPath);
        if (!alias.isEmpty())
            values.insert(
                fParameterDictionary.value(QLatin1String(sPrefKeyForSlideShowPathAliasData)),
                alias);
        prefs.setValues(values);
        if (!fSourcePath.isEmpty())
            postFolderStatus(fSourcePath, false);
        fSourcePath = newPath;
        postFolderStatus(fSourcePath, true);
    } else {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController",
                                          u"handleSlideShowParamChangedNotification") +
                                   QStringLiteral("What??? sourcePath is nil???..."));
    }
    validateFolderPrefWithParam(FolderValidation::slideShowFolderTripleForIndex(fScreenIndex),
                                prefs);
    rebuildList();
}

void slideShowWindowController::rebuildList()
{
    setupAndStartQuery();
}

void slideShowWindowController::setupAndStartQuery()
{
    if (queryStarted) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"setupAndStartQuery") +
                                   QStringLiteral("Another in progress..."));
        return;
    }
    if (fSourcePath.isEmpty() || !QFileInfo::exists(fSourcePath))
        return;
    queryStarted = true;
    photoQuery.startSearchActionWithParam(
        {{QStringLiteral("searchPath"), fSourcePath},
         {QStringLiteral("searchKey"), QStringList{QStringLiteral("*")}}});
}

void slideShowWindowController::doneSearchOperation(const QVariantMap &)
{
    queryStarted = false;
    const QStringList found = photoQuery.response();
    if (found.isEmpty())
        return;
    addToQueueInThread(found);
    mAutoStartWaitsForFill = false;
    // Every search schedules its own start; a later search (the folder read
    // again while it is still being filled) never puts back an earlier one.
    QTimer::singleShot(1000, this, &slideShowWindowController::autoStartDue);
}

void slideShowWindowController::addToQueueInThread(const QStringList &paths)
{
    // The batch is tied to the queue's present generation: a folder given
    // up before the batch is inserted drops it. The worker holds the queue
    // by shared ownership and touches nothing else of the controller.
    std::shared_ptr<KivoQueue> queue = mQueue;
    std::shared_ptr<std::atomic<int>> running = mFillsRunning;
    const uint64_t generation = queue->generation();
    running->fetch_add(1);
    // The controller outlives its fill tasks (its destructor waits for
    // them), and a queued call to it is dropped once it is gone.
    mFillPool.start([this, queue, running, paths, generation] {
        queue->addToQueueInThread(paths, generation);
        running->fetch_sub(1);
        QMetaObject::invokeMethod(this, &slideShowWindowController::queueFillingDone,
                                  Qt::QueuedConnection);
    });
}

void slideShowWindowController::autoStartDue()
{
    // A large folder takes longer than the second to validate; starting now
    // would find the queue empty and leave the display paused for good, so
    // the start waits for the batch instead.
    if (mFillsRunning->load() > 0) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"doAutoStartQueue") +
                                   QStringLiteral("waiting for the queue to be filled..."));
        mAutoStartWaitsForFill = true;
        return;
    }
    doAutoStartQueue();
}

void slideShowWindowController::queueFillingDone()
{
    if (mAutoStartWaitsForFill && mFillsRunning->load() == 0) {
        mAutoStartWaitsForFill = false;
        doAutoStartQueue();
    }
}

bool slideShowWindowController::waitForQueueFilling(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (mFillsRunning->load() > 0) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void slideShowWindowController::doAutoStartQueue()
{
    logLine(lcSlideshow(), traceArrow(u"slideShowWindowController", u"doAutoStartQueue") +
                               QStringLiteral("starting..."));
    doSuspendSlideShow = false;
    startSequence();
    broadcastSlideShowStatus();
}

void slideShowWindowController::handleSlideShowParamToggleShowNotification(const Notification &n)
{
    if (n.userInfo.isEmpty())
        return;
    if (addressedIndex(n.userInfo) != fScreenIndex) {
        logLine(lcSlideshow(), traceArrow(u"slideShowWindowController",
                                          u"handleSlideShowParamToggleShowNotification") +
                                   QStringLiteral(" NOT for us..."));
        return;
    }
    if (doSuspendSlideShow) {
        doSuspendSlideShow = false;
        startSequence();
    } else {
        doSuspendSlideShow = true;
    }
    broadcastSlideShowStatus();
}

void slideShowWindowController::handleSlideShowRequestStatusNotification(const Notification &n)
{
    if (!n.userInfo.contains(kScreenIndex))
        return;
    const int index = n.userInfo.value(kScreenIndex).toInt();
    if (index == fScreenIndex || index == -1)
        broadcastSlideShowStatus();
}

void slideShowWindowController::handleSlideTestNotification(const Notification &)
{
    const std::optional<QString> next = mQueue->getNextObject();
    if (!next)
        return;
    const QString path = *next;
    SlideImageLoader::loadAsync(
        &mDecodePool, path, slideSize(), this,
        [this, path](const QImage &image, const QString &error) {
            if (image.isNull()) {
                logLine(lcSlideshow(),
                        traceArrow(u"slideShowWindowController", u"handleSlideTestNotification") +
                            QStringLiteral(" [%1] %2").arg(path, error));
                return;
            }
            mSlideView->transitionToImage(image);
        });
}

void slideShowWindowController::handleSlideShowChangeTransitionStyle(const Notification &)
{
    setTransitionStyle(Preferences::standard().string(QLatin1String(keys::prefTransitionStyle)));
}

} // namespace kivo
