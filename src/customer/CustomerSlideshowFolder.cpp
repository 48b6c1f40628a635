#include "CustomerSlideshowFolder.h"

#include "CodeWatch.h"
#include "ConsoleModeFill.h"
#include "CustomerLog.h"
#include "CustomerPhotoSearch.h"
#include "FoundPhoto.h"
#include "OverlayCompositor.h"
#include "ShoutModeFill.h"
#include "WorkingFolder.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/DisplayOutputs.h"
#include "station/KivoPhotoQueryController.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/Async.h"
#include "util/FileHelpers.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <filesystem>

namespace kivo {

namespace {

const QString kClass = QStringLiteral("CustomerSlideshowFolder");
const QString kLeftFresh = QStringLiteral("a photo was left out as too fresh");

} // namespace

CustomerSlideshowFolder::CustomerSlideshowFolder(QObject *parent)
    : QObject(parent), m_workingFolder(expandTilde(QStringLiteral("~/tmp/slideshowA"))),
      m_compositor(std::make_shared<OverlayCompositor>()),
      m_search([](const QVariantMap &request) -> std::optional<QStringList> {
          KivoPhotoQueryController query;
          query.startSearchActionWithParamOldwayKivo2(request);
          if (query.searchFailed())
              return std::nullopt;
          return query.response();
      }),
      m_screenCount([] { return int(QGuiApplication::screens().size()); }),
      m_stop(std::make_shared<std::atomic<bool>>(false)),
      m_preparationPool(kClass + QStringLiteral(" -> shutdown (preparation)"), 1),
      m_compositePool(kClass + QStringLiteral(" -> shutdown (compositing)"), 1),
      m_backgroundPool(kClass + QStringLiteral(" -> shutdown (compositing the others)"))
{}

CustomerSlideshowFolder::~CustomerSlideshowFolder()
{
    shutdown();
}

void CustomerSlideshowFolder::shutdown()
{
    m_stop->store(true);
    m_pending.reset();
    m_watch.reset();
    const QDeadlineTimer deadline(kShutdownWaitMs);
    // A worker still running then holds only values and its results go nowhere.
    for (WorkerPool *pool : {&m_preparationPool, &m_compositePool, &m_backgroundPool})
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
    m_backgroundPool.setMaxThreads(std::max(1, threads));
}

void CustomerSlideshowFolder::prepareForCode(const std::optional<QString> &code)
{
    enqueue(Job{[code] { return CustomerPhotoSearch::requestForCode(code); }, std::nullopt,
                code.value_or(QStringLiteral("(every code)")), 0, false, code});
}

void CustomerSlideshowFolder::startPreparation(const QVariantMap &request)
{
    enqueue(jobFor(request, std::nullopt));
}

void CustomerSlideshowFolder::handleFoundImages(const QVariantMap &request,
                                                const QStringList &response)
{
    enqueue(jobFor(request, response));
}

CustomerSlideshowFolder::Job CustomerSlideshowFolder::jobFor(const QVariantMap &request,
                                                             std::optional<QStringList> response)
{
    const QVariant id = request.value(QStringLiteral("customerid"));
    const QString label =
        id.isValid() ? id.toString() : request.value(QStringLiteral("searchPath")).toString();
    return Job{[request] { return std::optional<QVariantMap>(request); },
               std::move(response),
               label,
               0,
               false,
               id.isValid() ? std::optional(id.toString()) : std::nullopt};
}

void CustomerSlideshowFolder::enqueue(Job job)
{
    if (*m_stop)
        return;
    if (!job.repeat) {
        job.generation = ++m_generation;
        endWatch(QStringLiteral("replaced by a newer request [%1]").arg(job.label));
    }
    if (m_running) {
        logLine(lcCustomer(), traceInside(kClass, u"enqueue", u" ...") +
                                  QStringLiteral("[%1] waits for the preparation of [%2]")
                                      .arg(job.label, m_running->label));
        if (m_pending)
            logLine(lcCustomer(), traceInside(kClass, u"enqueue", u" ...") +
                                      QStringLiteral("[%1] replaces the waiting [%2]")
                                          .arg(job.label, m_pending->label));
    }
    m_pending = std::move(job);
    startNext();
}

// A preparation starts when the previous one has delivered its end.
void CustomerSlideshowFolder::startNext()
{
    if (m_running || !m_pending || *m_stop)
        return;
    m_running = std::move(m_pending);
    m_pending.reset();
    m_searchPath.clear();
    if (!m_running->repeat)
        startForNewCode(*m_running);
    Async::run(
        m_preparationPool, this,
        [job = *m_running, search = m_search, folder = m_workingFolder, stop = m_stop] {
            return searchAndFill(job, search, folder, *stop);
        },
        [this](const Found &found) {
            m_searchPath = found.searchPath;
            if (found.toFrame.isEmpty() || *m_stop)
                finishPreparation(found.prepared, found.again);
            else
                frame(found);
        });
}

// The worker part: where to search, the search, then the whole fill in the
// shout mode, or the folder made ready for framing in the console mode.
CustomerSlideshowFolder::Found CustomerSlideshowFolder::searchAndFill(const Job &job,
                                                                      const PhotoSearch &search,
                                                                      const QString &workingFolder,
                                                                      const std::atomic<bool> &stop)
{
    Found found;
    const std::optional<QVariantMap> request = job.request();
    if (!request)
        return found; // logged; the displays keep what they show
    const std::optional<QStringList> answer = job.response ? job.response : search(*request);
    const QStringList response = answer.value_or(QStringList());
    if (!answer)
        found.again.because = QStringLiteral("the search gave no answer");
    found.searchPath = request->value(QStringLiteral("searchPath")).toString();
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
        found.prepared = ShoutModeFill::fill(workingFolder, found.searchPath, response, stop,
                                             &found.again.settlesAt);
        if (found.again.settlesAt != 0)
            found.again.because = kLeftFresh;
    } else if (ConsoleModeFill::prepareFolder(workingFolder)) {
        found.toFrame = response;
    }
    return found;
}

void CustomerSlideshowFolder::frame(const Found &found)
{
    auto *fill = new ConsoleModeFill(m_workingFolder, found.searchPath, found.toFrame, m_compositor,
                                     m_stop, m_compositePool, m_backgroundPool, this);
    connect(fill, &ConsoleModeFill::playRequested, this, &CustomerSlideshowFolder::sendPlayRequest);
    connect(fill, &ConsoleModeFill::finished, this, [this, fill](int prepared) {
        fill->deleteLater();
        const qint64 settles = fill->settlesAt();
        finishPreparation(prepared, {settles != 0 ? kLeftFresh : QString(), settles});
    });
    fill->start();
}

void CustomerSlideshowFolder::finishPreparation(int prepared, const Again &again)
{
    if (prepared != 0 && !*m_stop)
        sendPlayRequest();
    const Job job = std::move(*m_running);
    m_running.reset();
    if (job.code && *job.code == m_folderCode)
        followCode(job, prepared, again);
    else if (!again.because.isEmpty() && !job.repeat)
        scheduleRepeat(job, again);
    emit preparationFinished(prepared);
    startNext();
}

// One repeat per preparation, and only while nothing newer was asked for. A
// photo that settles is searched for the moment it has.
void CustomerSlideshowFolder::scheduleRepeat(Job job, const Again &again)
{
    if (job.generation != m_generation || *m_stop)
        return;
    const int delay = again.settlesAt != 0
                          ? FoundPhoto::msUntilSettled(again.settlesAt, kRepeatDelayMs)
                          : kRepeatDelayMs;
    logLine(lcCustomer(), traceInside(kClass, u"handleFoundImages", u" ...") +
                              QStringLiteral("for [%1] %2: searching again in %3 ms")
                                  .arg(job.label, again.because)
                                  .arg(delay));
    job.repeat = true;
    job.response.reset();
    QTimer::singleShot(delay, this, [this, job] {
        if (job.generation == m_generation)
            enqueue(job);
    });
}

// Runs with no other preparation acting on the folder. The shout mode's
// folder holds every code's photos by design.
void CustomerSlideshowFolder::startForNewCode(const Job &job)
{
    if (!job.code || Preferences::standard().boolean(QString::fromLatin1(keys::prefDoShoutMode))) {
        m_folderCode.clear();
        return;
    }
    if (*job.code == m_folderCode)
        return;
    m_folderCode = *job.code;
    if (!ConsoleModeFill::prepareFolder(m_workingFolder))
        return;
    WorkingFolder::removeContent(m_workingFolder, false);
    sendPlayRequest();
}

void CustomerSlideshowFolder::followCode(const Job &job, int prepared, const Again &again)
{
    if (job.generation != m_generation || *m_stop)
        return;
    if (prepared > 0 && again.because.isEmpty()) {
        endWatch(QStringLiteral("photos found"));
    } else if (m_watch) {
        if (again.because == kLeftFresh)
            m_watch->forgetListing();
    } else if (prepared > 0) {
        if (!job.repeat)
            scheduleRepeat(job, again);
    } else if (!m_searchPath.isEmpty()) {
        // A photo that is settling is not left to the watch's next look.
        if (again.settlesAt != 0 && !job.repeat)
            scheduleRepeat(job, again);
        m_watch = std::make_unique<CodeWatch>(*job.code, QDir(m_searchPath).filePath(*job.code),
                                              WorkerPool::shared());
        connect(m_watch.get(), &CodeWatch::photosChanged, this, [this, job] {
            Job again = job;
            again.repeat = true;
            again.response.reset();
            enqueue(std::move(again));
        });
        const Preferences &prefs = Preferences::standard();
        const QString key = QString::fromLatin1(keys::prefWaitForPhotosMinutes);
        m_watch->start(prefs.contains(key) ? prefs.real(key) : kDefaultWaitMinutes);
    }
}

void CustomerSlideshowFolder::endWatch(const QString &why)
{
    if (!m_watch)
        return;
    m_watch->end(why);
    m_watch.reset();
}

void CustomerSlideshowFolder::sendPlayRequest()
{
    logLine(lcCustomer(), traceInside(kClass, u"sendPlayRequest", u" ...") +
                              QStringLiteral("[%1]").arg(m_workingFolder));
    const int screens = m_screenCount ? m_screenCount() : 1;
    postNotificationOnMainThread(
        {{notificationKey::screenIndex, DisplayOutputs::customerDisplayIndex(screens)},
         {notificationKey::sourcePath, m_workingFolder}});
}

void CustomerSlideshowFolder::postNotificationOnMainThread(const QVariantMap &userInfo)
{
    NotificationCenter::defaultCenter().post(notification::SlideShowParamChanged, QVariant(),
                                             userInfo);
}

} // namespace kivo
