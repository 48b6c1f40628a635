#include "CustomerSlideshowFolder.h"

#include "util/OrderedParallelMap.h"

#include "CustomerLog.h"
#include "FoundPhoto.h"
#include "ShoutModeFill.h"
#include "WorkingFolder.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/KivoPhotoQueryController.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <filesystem>

namespace kivo {

namespace {

const QString kClass = QStringLiteral("CustomerSlideshowFolder");

} // namespace

CustomerSlideshowFolder::CustomerSlideshowFolder(QObject *parent)
    : QObject(parent), m_workingFolder(expandTilde(QStringLiteral("~/tmp/slideshowA"))),
      m_search([](const QVariantMap &request) {
          // The script search runs here, on the preparation worker.
          KivoPhotoQueryController query;
          query.startSearchActionWithParamOldwayKivo2(request);
          return query.response();
      }),
      m_screenCount([] { return int(QGuiApplication::screens().size()); })
{
    connect(this, &CustomerSlideshowFolder::workerEventsPending, this,
            &CustomerSlideshowFolder::deliverWorkerEvents, Qt::QueuedConnection);
    m_worker = std::thread([this] { workerLoop(); });
}

CustomerSlideshowFolder::~CustomerSlideshowFolder()
{
    shutdown();
}

void CustomerSlideshowFolder::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

QString CustomerSlideshowFolder::setupTempFolderPath()
{
    const QString path = expandTilde(QStringLiteral("~/tmp/slideshowA"));
    if (!QFileInfo(path).isDir()) {
        std::error_code ec;
        std::filesystem::create_directories(QFile::encodeName(path).toStdString(), ec);
        if (ec)
            logLine(lcCustomer(), QStringLiteral("createDirectoryAtPath[%1] has error = %2")
                                      .arg(path, QString::fromStdString(ec.message())));
    }
    if (!QFileInfo(path).isDir())
        logLine(lcCustomer(),
                QStringLiteral("%1 -> unable to create the directory at: %2").arg(kClass, path));
    Preferences::standard().setValue(QString::fromLatin1(keys::prefTempFolderPath), path);
    return path;
}

void CustomerSlideshowFolder::setOverlayFolder(const QString &folder)
{
    m_compositor.setOverlayFolder(folder);
}

void CustomerSlideshowFolder::setCompositeThreads(int threads)
{
    m_compositeThreads = std::max(1, threads);
}

void CustomerSlideshowFolder::startPreparation(const QVariantMap &request)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        m_jobs.push_back(Job{request, std::nullopt});
    }
    m_wake.notify_one();
}

void CustomerSlideshowFolder::handleFoundImages(const QVariantMap &request,
                                                const QStringList &response)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            return;
        m_jobs.push_back(Job{request, response});
    }
    m_wake.notify_one();
}

bool CustomerSlideshowFolder::waitForIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_jobs.empty() && !m_busy; });
}

void CustomerSlideshowFolder::workerLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_busy = true;
        }
        runJob(job);
    }
}

void CustomerSlideshowFolder::runJob(const Job &job)
{
    const QStringList response = job.response ? *job.response : m_search(job.request);
    const QString searchPath = job.request.value(QStringLiteral("searchPath")).toString();
    logLine(lcCustomer(),
            traceInside(kClass, u"handleFoundImages", u" ...") +
                QStringLiteral("%1 items found in [%2]").arg(response.size()).arg(searchPath));
    const bool shout = Preferences::standard().boolean(QString::fromLatin1(keys::prefDoShoutMode));
    int prepared = 0;
    if (response.isEmpty()) {
        prepared = int(WorkingFolder::slidesIn(m_workingFolder).size());
        logLine(lcCustomer(),
                QStringLiteral("will start slideshow with EXISTING %1 items in newpath[%2]")
                    .arg(prepared, 2)
                    .arg(m_workingFolder));
    } else if (shout) {
        prepared = ShoutModeFill::fill(m_workingFolder, searchPath, response, m_stop);
    } else {
        prepared = fillConsoleMode(searchPath, response);
    }
    if (prepared != 0 && !m_stop)
        sendPlayRequest();
    pushEvent({true, prepared, QString()});
}

// Worker results reach the main thread through a queue guarded by our own
// mutex and a queued signal that carries nothing.
void CustomerSlideshowFolder::pushEvent(WorkerEvent event)
{
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    emit workerEventsPending(QPrivateSignal());
}

void CustomerSlideshowFolder::deliverWorkerEvents()
{
    for (;;) {
        WorkerEvent event;
        {
            std::lock_guard lock(m_mutex);
            if (m_events.empty())
                return;
            event = std::move(m_events.front());
            m_events.pop_front();
        }
        if (event.finished) {
            emit preparationFinished(event.prepared);
        } else {
            const int screens = m_screenCount ? m_screenCount() : 1;
            postNotificationOnMainThread({{notificationKey::screenIndex, screens > 1 ? 1 : 0},
                                          {notificationKey::sourcePath, event.folder}});
        }
    }
}

int CustomerSlideshowFolder::fillConsoleMode(const QString &searchPath, const QStringList &response)
{
    // The previous customer's slides stay until the first new photo is ready,
    // so a preparation that finds nothing usable leaves the display as it is.
    if (!WorkingFolder::prepare(m_workingFolder))
        return 0;
    WorkingFolder::removeContent(m_workingFolder, true);
    bool emptied = false;
    m_compositor.setResultFolder(m_workingFolder);

    struct Framed
    {
        QString source;    // empty: skipped
        QString composite; // empty: copy the source unchanged
    };
    auto frame = [this, &searchPath](const QString &entry) -> Framed {
        if (m_stop)
            return {};
        const QString source = FoundPhoto::locate(searchPath, entry);
        if (source.isEmpty() || !QFileInfo::exists(source) || !FoundPhoto::isReady(source))
            return {};
        return {source, m_compositor.applyOverlayToSourceItem(source, QString())};
    };

    // Framing runs ahead on several threads; photos enter the folder in list order.
    OrderedParallelMap<Framed> framing(response.size(), m_compositeThreads,
                                       2 * qsizetype(m_compositeThreads),
                                       [&](qsizetype i) { return frame(response.at(i)); });
    int prepared = 0;
    for (qsizetype i = 0; i < response.size(); ++i) {
        const Framed item = framing.take(i);
        if (m_stop) {
            if (!item.composite.isEmpty())
                QFile::remove(item.composite);
            continue;
        }
        if (item.source.isEmpty())
            continue;
        if (!emptied) {
            WorkingFolder::removeContent(m_workingFolder, false);
            emptied = true;
        }
        const QString copyPath = QDir(m_workingFolder).filePath(QFileInfo(item.source).fileName());
        QString error;
        const bool ok = item.composite.isEmpty()
                            ? WorkingFolder::copyIntoPlace(item.source, copyPath, &error)
                            : WorkingFolder::renameIntoPlace(item.composite, copyPath, &error);
        if (ok)
            ++prepared;
        else
            logLine(lcCustomer(), QStringLiteral("copyItemAtPath[%1] to [%2] has error = %3")
                                      .arg(item.source, m_workingFolder, error));
        if (prepared == 1)
            sendPlayRequest();
    }
    return prepared;
}

void CustomerSlideshowFolder::sendPlayRequest()
{
    logLine(lcCustomer(), traceInside(kClass, u"sendPlayRequest", u" ...") +
                              QStringLiteral("[%1]").arg(m_workingFolder));
    pushEvent({false, 0, m_workingFolder});
}

void CustomerSlideshowFolder::postNotificationOnMainThread(const QVariantMap &userInfo)
{
    NotificationCenter::defaultCenter().post(notification::SlideShowParamChanged, QVariant(),
                                             userInfo);
}

} // namespace kivo
