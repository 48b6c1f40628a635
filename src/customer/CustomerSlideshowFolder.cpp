#include "CustomerSlideshowFolder.h"

#include "ConsoleModeFill.h"
#include "CustomerLog.h"
#include "OverlayCompositor.h"
#include "ShoutModeFill.h"
#include "WorkingFolder.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/KivoPhotoQueryController.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/Async.h"
#include "util/FileHelpers.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>

#include <filesystem>

namespace kivo {

namespace {

const QString kClass = QStringLiteral("CustomerSlideshowFolder");

} // namespace

CustomerSlideshowFolder::CustomerSlideshowFolder(QObject *parent)
    : QObject(parent), m_workingFolder(expandTilde(QStringLiteral("~/tmp/slideshowA"))),
      m_compositor(std::make_shared<OverlayCompositor>()), m_search([](const QVariantMap &request) {
          KivoPhotoQueryController query;
          query.startSearchActionWithParamOldwayKivo2(request);
          return query.response();
      }),
      m_screenCount([] { return int(QGuiApplication::screens().size()); }),
      m_stop(std::make_shared<std::atomic<bool>>(false)),
      m_preparationPool(kClass + QStringLiteral(" -> shutdown (preparation)"), 1),
      m_compositePool(kClass + QStringLiteral(" -> shutdown (compositing)"))
{}

CustomerSlideshowFolder::~CustomerSlideshowFolder()
{
    shutdown();
}

void CustomerSlideshowFolder::shutdown()
{
    m_stop->store(true);
    m_jobs.clear();
    const QDeadlineTimer deadline(kShutdownWaitMs);
    // A worker still running then holds only values and its results go nowhere.
    for (WorkerPool *pool : {&m_preparationPool, &m_compositePool})
        pool->shutdown(int(deadline.remainingTime()));
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
    m_compositor->setOverlayFolder(folder);
}

void CustomerSlideshowFolder::setCompositeThreads(int threads)
{
    m_compositePool.pool().setMaxThreadCount(std::max(1, threads));
}

void CustomerSlideshowFolder::startPreparation(const QVariantMap &request)
{
    enqueue(Job{request, std::nullopt});
}

void CustomerSlideshowFolder::handleFoundImages(const QVariantMap &request,
                                                const QStringList &response)
{
    enqueue(Job{request, response});
}

bool CustomerSlideshowFolder::waitForIdle(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while ((m_busy || !m_jobs.empty()) && !deadline.hasExpired()) {
        QEventLoop loop;
        connect(this, &CustomerSlideshowFolder::preparationFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !m_busy && m_jobs.empty();
}

void CustomerSlideshowFolder::enqueue(Job job)
{
    if (*m_stop)
        return;
    m_jobs.push_back(std::move(job));
    startNext();
}

// A preparation starts when the previous one has delivered its end.
void CustomerSlideshowFolder::startNext()
{
    if (m_busy || m_jobs.empty() || *m_stop)
        return;
    m_busy = true;
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    Async::run(
        m_preparationPool.pool(), this,
        [job = std::move(job), search = m_search, folder = m_workingFolder, stop = m_stop] {
            return searchAndFill(job, search, folder, *stop);
        },
        [this](const Found &found) {
            if (found.toFrame.isEmpty() || *m_stop)
                finishPreparation(found.prepared);
            else
                frame(found);
        });
}

// The worker part: the search, then the whole fill in the shout mode, or the
// folder made ready for framing in the console mode.
CustomerSlideshowFolder::Found CustomerSlideshowFolder::searchAndFill(const Job &job,
                                                                      const PhotoSearch &search,
                                                                      const QString &workingFolder,
                                                                      const std::atomic<bool> &stop)
{
    Found found;
    const QStringList response = job.response ? *job.response : search(job.request);
    found.searchPath = job.request.value(QStringLiteral("searchPath")).toString();
    logLine(
        lcCustomer(),
        traceInside(kClass, u"handleFoundImages", u" ...") +
            QStringLiteral("%1 items found in [%2]").arg(response.size()).arg(found.searchPath));
    if (response.isEmpty()) {
        found.prepared = int(WorkingFolder::slidesIn(workingFolder).size());
        logLine(lcCustomer(),
                QStringLiteral("will start slideshow with EXISTING %1 items in newpath[%2]")
                    .arg(found.prepared, 2)
                    .arg(workingFolder));
    } else if (Preferences::standard().boolean(QString::fromLatin1(keys::prefDoShoutMode))) {
        found.prepared = ShoutModeFill::fill(workingFolder, found.searchPath, response, stop);
    } else if (ConsoleModeFill::prepareFolder(workingFolder)) {
        found.toFrame = response;
    }
    return found;
}

void CustomerSlideshowFolder::frame(const Found &found)
{
    auto *fill = new ConsoleModeFill(m_workingFolder, found.searchPath, found.toFrame, m_compositor,
                                     m_stop, m_compositePool.pool(), this);
    connect(fill, &ConsoleModeFill::playRequested, this, &CustomerSlideshowFolder::sendPlayRequest);
    connect(fill, &ConsoleModeFill::finished, this, [this, fill](int prepared) {
        fill->deleteLater();
        finishPreparation(prepared);
    });
    fill->start();
}

void CustomerSlideshowFolder::finishPreparation(int prepared)
{
    if (prepared != 0 && !*m_stop)
        sendPlayRequest();
    m_busy = false;
    emit preparationFinished(prepared);
    startNext();
}

void CustomerSlideshowFolder::sendPlayRequest()
{
    logLine(lcCustomer(), traceInside(kClass, u"sendPlayRequest", u" ...") +
                              QStringLiteral("[%1]").arg(m_workingFolder));
    const int screens = m_screenCount ? m_screenCount() : 1;
    postNotificationOnMainThread({{notificationKey::screenIndex, screens > 1 ? 1 : 0},
                                  {notificationKey::sourcePath, m_workingFolder}});
}

void CustomerSlideshowFolder::postNotificationOnMainThread(const QVariantMap &userInfo)
{
    NotificationCenter::defaultCenter().post(notification::SlideShowParamChanged, QVariant(),
                                             userInfo);
}

} // namespace kivo
