#pragma once

#include "util/WorkerPool.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace kivo {

class CodeWatch;
class OverlayCompositor;

// The customer's working slideshow folder ("~/tmp/slideshowA"): runs the
// preparations that fill it with copies of the photos a search found, one
// after another so two never act on the folder at once, and asks a display
// to play it ("SlideShowParamChanged"). The console mode (prefDoShoutMode
// false) rebuilds the folder for every customer (ConsoleModeFill), the shout
// mode accumulates the day's newest photos (ShoutModeFill).
//
// The display is told as soon as the first photo is in place and again at
// the end. Everything that looks at the photo store (where to search, the
// search, the fills) runs on worker pools, so a hung share never holds up
// this object's thread, where every function here is called and play
// requests are posted. Behind the running preparation at most one waits: a
// newer one replaces it (logged), so a hung share cannot pile up a backlog.
// When a preparation left a photo out as too fresh, the same search runs
// once more the moment the earliest such photo settles; when its search gave
// no answer, kRepeatDelayMs later; either unless a newer one was asked for
// meanwhile.
//
// In the console mode the folder never holds another customer's photos once
// a new code is current: it is emptied, and the display told to play it
// (which leaves its background), as the new code's preparation starts. A code
// with no photo that could be shown yet is then watched (CodeWatch) for
// prefWaitForPhotosMinutes, and its photos are played as they are filed; a
// newer request ends the watch.
class CustomerSlideshowFolder : public QObject
{
    Q_OBJECT
public:
    // Finds the photos for a request ("searchPath", optional "customerid"):
    // entries relative to "searchPath", or none when the search gave no
    // answer. Runs on a worker; by default the photo search's script search.
    using PhotoSearch = std::function<std::optional<QStringList>(const QVariantMap &request)>;

    static constexpr int kRepeatDelayMs = 3000;
    // The wait for a code's photos when prefWaitForPhotosMinutes is not set.
    static constexpr double kDefaultWaitMinutes = 10;

    explicit CustomerSlideshowFolder(QObject *parent = nullptr);
    ~CustomerSlideshowFolder() override; // shutdown()

    // Creates "~/tmp/slideshowA" with its missing parents when needed, stores
    // it under prefTempFolderPath and gives it back (also when creation failed).
    static QString setupTempFolderPath();

    QString workingFolder() const { return m_workingFolder; }
    void setWorkingFolder(const QString &folder) { m_workingFolder = folder; }
    void setOverlayFolder(const QString &folder);
    void setPhotoSearch(PhotoSearch search) { m_search = std::move(search); }
    // Number of screens; the customer display is 1 on a station with more than
    // one screen, else 0.
    void setScreenCount(std::function<int()> count) { m_screenCount = std::move(count); }
    // Threads that frame a customer's photos after the first, at the
    // background priority (default: the cores).
    void setCompositeThreads(int threads);

    // Queues a preparation for a code's photos (absent: every photo of the
    // day): where to search is worked out on the worker
    // (CustomerPhotoSearch::requestForCode).
    void prepareForCode(const std::optional<QString> &code);
    // Queues a preparation: the photo search for request, then handleFoundImages.
    void startPreparation(const QVariantMap &request);
    // Queues a preparation for a result list found elsewhere.
    void handleFoundImages(const QVariantMap &request, const QStringList &response);

    // Drops the queued preparations and stops the running one after its
    // current photo. Waits at most kShutdownWaitMs for the workers, then
    // leaves them to finish on their own. Called by the destructor.
    void shutdown();
    static constexpr int kShutdownWaitMs = 1000;

signals:
    // After every preparation, with the number of slides prepared (0: no
    // play request was sent).
    void preparationFinished(int preparedCount);

private:
    struct Job
    {
        // The request, worked out on the worker; none: nothing to search.
        std::function<std::optional<QVariantMap>()> request;
        std::optional<QStringList> response;
        QString label; // for the log
        quint64 generation = 0;
        bool repeat = false;
        std::optional<QString> code; // the customer's code, when there is one
    };
    // Why a preparation's search is to run again, and when a photo left out
    // as too fresh settles (ms since the epoch; 0: none was).
    struct Again
    {
        QString because; // empty: no repeat search is needed
        qint64 settlesAt = 0;
    };
    // What the worker part of a preparation found: photos to frame, or the
    // number of slides prepared.
    struct Found
    {
        QString searchPath;
        QStringList toFrame;
        int prepared = 0;
        Again again;
    };
    static Job jobFor(const QVariantMap &request, std::optional<QStringList> response);
    static Found searchAndFill(const Job &job, const PhotoSearch &search,
                               const QString &workingFolder, const std::atomic<bool> &stop);
    void enqueue(Job job);
    void startNext();
    void frame(const Found &found);
    void finishPreparation(int prepared, const Again &again);
    void scheduleRepeat(Job job, const Again &again);
    void startForNewCode(const Job &job);
    // After a preparation for a code: starts, goes on with or ends its watch.
    void followCode(const Job &job, int prepared, const Again &again);
    void endWatch(const QString &why);
    void sendPlayRequest();
    void postNotificationOnMainThread(const QVariantMap &userInfo);

    QString m_workingFolder;
    std::shared_ptr<OverlayCompositor> m_compositor;
    PhotoSearch m_search;
    std::function<int()> m_screenCount;
    std::shared_ptr<std::atomic<bool>> m_stop;
    // One thread: a preparation's search and folder work, in turn.
    WorkerPool m_preparationPool;
    // One thread: the first photo of a fill.
    WorkerPool m_compositePool;
    WorkerPool m_backgroundPool;
    std::optional<Job> m_running;
    std::optional<Job> m_pending;
    QString m_searchPath; // of the running preparation
    QString m_folderCode; // whose photos the folder holds; empty: unknown
    std::unique_ptr<CodeWatch> m_watch;
    quint64 m_generation = 0; // of the newest preparation asked for
};

} // namespace kivo
