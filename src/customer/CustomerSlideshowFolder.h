#pragma once

#include "OverlayCompositor.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace kivo {

// The customer's working slideshow folder ("~/tmp/slideshowA"): fills it with
// copies of the photos a search found and asks a display to play it
// ("SlideShowParamChanged").
//
// Console mode (prefDoShoutMode false): the folder is rebuilt for every
// customer (the previous slides go when the first new photo is ready); each photo is framed with
// the overlay (photos may be framed on several cores) and enters the folder in the order of the
// result list. The display is told after the first photo and again at the end. Shout mode: see
// ShoutModeFill.
//
// Preparations run one after another on one worker thread, so two never act
// on the folder at once. A file enters the folder under a hidden temporary
// name and is renamed into place, so a display never reads half a slide.
// Play requests are posted on this object's thread.
class CustomerSlideshowFolder : public QObject
{
    Q_OBJECT
public:
    // Finds the photos for a request ("searchPath", optional "customerid"):
    // entries relative to "searchPath". Runs on the worker thread; by default
    // the photo search's script search.
    using PhotoSearch = std::function<QStringList(const QVariantMap &request)>;

    explicit CustomerSlideshowFolder(QObject *parent = nullptr);
    ~CustomerSlideshowFolder() override; // stops the worker and waits for it

    // Creates "~/tmp/slideshowA" with its missing parents when needed, stores
    // it under prefTempFolderPath and gives it back (also when creation failed).
    static QString setupTempFolderPath();

    QString workingFolder() const { return m_workingFolder; }
    void setWorkingFolder(const QString &folder) { m_workingFolder = folder; }
    void setOverlayFolder(const QString &folder);
    void setPhotoSearch(PhotoSearch search) { m_search = std::move(search); }
    // Number of screens; the customer display is 1 on a station with more than
    // one screen, else 0. Called on this object's thread.
    void setScreenCount(std::function<int()> count) { m_screenCount = std::move(count); }
    // Threads that frame photos within one preparation (default: the cores).
    void setCompositeThreads(int threads);

    // Queues a preparation: the photo search for request, then handleFoundImages.
    void startPreparation(const QVariantMap &request);
    // Queues handleFoundImages for a result list found elsewhere.
    void handleFoundImages(const QVariantMap &request, const QStringList &response);

    // Waits until every queued preparation has ended (tests, benchmarks).
    bool waitForIdle(int timeoutMs);
    // Stops the worker: queued preparations are dropped, the running one ends
    // after its current photo. Called by the destructor.
    void shutdown();

signals:
    // After every preparation, with the number of slides prepared (0: no
    // play request was sent).
    void preparationFinished(int preparedCount);
    // The worker has events for the main thread (internal).
    void workerEventsPending(QPrivateSignal);

private:
    struct Job
    {
        QVariantMap request;
        std::optional<QStringList> response;
    };
    void workerLoop();
    void runJob(const Job &job);
    int fillConsoleMode(const QString &searchPath, const QStringList &response);
    struct WorkerEvent
    {
        bool finished = false; // else a play request
        int prepared = 0;
        QString folder;
    };
    void pushEvent(WorkerEvent event);
    void deliverWorkerEvents();
    void sendPlayRequest();
    void postNotificationOnMainThread(const QVariantMap &userInfo);

    QString m_workingFolder;
    OverlayCompositor m_compositor;
    PhotoSearch m_search;
    std::function<int()> m_screenCount;
    int m_compositeThreads = std::max(1, QThread::idealThreadCount());

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    std::deque<WorkerEvent> m_events;
    bool m_busy = false;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

} // namespace kivo
