#include "CustomerSlideshowFolder.h"

#include "util/OrderedParallelMap.h"

#include "CustomerLog.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/KivoPhotoQueryController.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/FileHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kivo {

namespace {

const QString kClass = QStringLiteral("CustomerSlideshowFolder");
const QString kOverlaySuffix = QStringLiteral("_overlay");

// Why a photo is not taken this time, or empty when it may be taken.
QString notReadyReason(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("is gone");
    const QDateTime settled =
        QDateTime::currentDateTime().addSecs(-CustomerSlideshowFolder::kSettleSecs);
    if (info.lastModified() > settled)
        return QStringLiteral("changed in the last %1 s").arg(CustomerSlideshowFolder::kSettleSecs);
    if (!IsValidImageObject(path))
        return QStringLiteral("is not a complete image");
    return {};
}

bool renameIntoPlace(const QString &from, const QString &to, QString *error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(from);
    return false;
}

// Copies source into dest's folder under a hidden temporary name, then renames
// it to dest.
bool copyIntoPlace(const QString &source, const QString &dest, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QTemporaryFile out(QFileInfo(dest).absolutePath() + QStringLiteral("/.kivo-copy-XXXXXX.part"));
    if (!out.open()) {
        *error = out.errorString();
        return false;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            *error = in.errorString();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n) {
            *error = out.errorString();
            return false;
        }
    }
    if (!out.flush()) {
        *error = out.errorString();
        return false;
    }
    out.setAutoRemove(false);
    out.close();
    return renameIntoPlace(out.fileName(), dest, error);
}

// The file's creation date: its birth time where the file system records
// one, else its modification time. Null when the file cannot be read.
QDateTime creationDate(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.lastModified();
}

QString escapeFolderPart(const QString &folder)
{
    QString out;
    for (qsizetype i = 0; i < folder.size(); ++i) {
        const QChar c = folder.at(i);
        if (c == u'%')
            out += QStringLiteral("%25");
        else if (c == u'_')
            out += QStringLiteral("%5F");
        else if (c == u'/')
            out += QStringLiteral("%2F");
        else if (c == u'.' && i == 0)
            out += QStringLiteral("%2E");
        else
            out += c;
    }
    return out;
}

QString unescapeFolderPart(const QString &folder)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(folder.toUtf8()));
}

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
        prepared = int(slidesIn(m_workingFolder).size());
        logLine(lcCustomer(),
                QStringLiteral("will start slideshow with EXISTING %1 items in newpath[%2]")
                    .arg(prepared, 2)
                    .arg(m_workingFolder));
    } else if (shout) {
        prepared = fillShoutMode(searchPath, response);
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

// Makes sure the working folder is a real folder (never a symbolic link,
// which would lead the removals elsewhere).
bool CustomerSlideshowFolder::prepareWorkingFolder()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(QFile::encodeName(m_workingFolder).toStdString(), ec))) {
        logLine(
            lcCustomer(),
            QStringLiteral("createDirectoryAtPath[%1] has error = a symbolic link is in the way")
                .arg(m_workingFolder));
        return false;
    }
    if (!createDirectoryIfMissing(m_workingFolder)) {
        logLine(lcCustomer(), QStringLiteral("createDirectoryAtPath[%1] has error = not a folder")
                                  .arg(m_workingFolder));
        return false;
    }
    return true;
}

// Removes the working folder's content, without following symbolic links.
// Pending: only our own temporary files; otherwise everything but them.
void CustomerSlideshowFolder::emptyWorkingFolder(bool pendingOnly)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto &entry :
         fs::directory_iterator(QFile::encodeName(m_workingFolder).toStdString(), ec)) {
        const std::string name = entry.path().filename().string();
        const bool pending = name.starts_with(".kivo-") && name.ends_with(".part");
        if (pending != pendingOnly)
            continue;
        std::error_code rec;
        fs::remove_all(entry.path(), rec);
        if (rec)
            logLine(lcCustomer(), QStringLiteral("removeItemAtPath failed: %1")
                                      .arg(QString::fromStdString(rec.message())));
    }
}

int CustomerSlideshowFolder::fillConsoleMode(const QString &searchPath, const QStringList &response)
{
    // The previous customer's slides stay until the first new photo is ready,
    // so a preparation that finds nothing usable leaves the display as it is.
    if (!prepareWorkingFolder())
        return 0;
    emptyWorkingFolder(true);
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
        const QString source = locateEntry(searchPath, entry);
        if (source.isEmpty() || !QFileInfo::exists(source))
            return {};
        const QString reason = notReadyReason(source);
        if (!reason.isEmpty()) {
            logLine(lcCustomer(),
                    traceInside(kClass, u"handleFoundImages", u" ...") +
                        QStringLiteral("[%1] %2: left for the next search").arg(source, reason));
            return {};
        }
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
            emptyWorkingFolder(false);
            emptied = true;
        }
        const QString copyPath = QDir(m_workingFolder).filePath(QFileInfo(item.source).fileName());
        QString error;
        const bool ok = item.composite.isEmpty()
                            ? copyIntoPlace(item.source, copyPath, &error)
                            : renameIntoPlace(item.composite, copyPath, &error);
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

int CustomerSlideshowFolder::fillShoutMode(const QString &searchPath, const QStringList &response)
{
    if (!prepareWorkingFolder())
        return 0;
    emptyWorkingFolder(true);
    const QDir folder(m_workingFolder);
    const QStringList existing = slidesIn(m_workingFolder);
    QStringList known; // the last listed slide first
    for (auto it = existing.crbegin(); it != existing.crend(); ++it)
        known.append(shoutSourceName(*it));

    QStringList added;
    for (const QString &raw : response) {
        const QString entry = raw.startsWith(QLatin1String("./")) ? raw.mid(2) : raw;
        if (m_stop || known.contains(entry) || added.contains(entry))
            continue;
        const QString copyName = shoutCopyName(entry);
        const QString source = locateEntry(searchPath, entry);
        if (copyName.isEmpty() || source.isEmpty() || existing.contains(copyName))
            continue;
        const QString reason = notReadyReason(source);
        if (!reason.isEmpty()) {
            logLine(lcCustomer(),
                    traceInside(kClass, u"handleFoundImages", u" ...") +
                        QStringLiteral("[%1] %2: left for the next search").arg(source, reason));
            continue;
        }
        QString error;
        if (copyIntoPlace(source, folder.filePath(copyName), &error))
            added.append(entry);
        else
            logLine(lcCustomer(), traceInside(kClass, u"handleFoundImages", u" ...") +
                                      QStringLiteral("copyItemAtPath error = %1").arg(error));
    }

    struct Dated
    {
        QString name;
        QDateTime created;
    };
    std::vector<Dated> kept;
    QStringList doomed;
    for (const QString &name : known + added) {
        if (name.isEmpty())
            continue; // not one of ours: removed below
        const QString source = locateEntry(searchPath, name);
        const QDateTime created = source.isEmpty() ? QDateTime() : creationDate(source);
        if (created.isValid()) {
            kept.push_back({name, created});
        } else {
            logLine(lcCustomer(),
                    QStringLiteral("Unable to get properties for item[%1] with error = %2")
                        .arg(name, QStringLiteral("no such file")));
        }
    }
    // Copies whose source has gone, and copies that are not ours.
    for (const QString &slide : existing) {
        const QString name = shoutSourceName(slide);
        if (std::none_of(kept.begin(), kept.end(), [&](const Dated &d) { return d.name == name; }))
            doomed.append(folder.filePath(slide));
    }
    std::sort(kept.begin(), kept.end(), [](const Dated &a, const Dated &b) {
        return a.created != b.created ? a.created > b.created : a.name > b.name;
    });
    qint64 max =
        Preferences::standard().integer(QString::fromLatin1(keys::prefMaxPhotosInLocalFolder));
    if (max < 1)
        max = 40;
    for (size_t i = size_t(max); i < kept.size(); ++i)
        doomed.append(folder.filePath(shoutCopyName(kept[i].name)));
    deleteFilesInArray(doomed);
    return int(std::min<size_t>(kept.size(), size_t(max)));
}

void CustomerSlideshowFolder::deleteFilesInArray(const QStringList &paths)
{
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.remove())
            logLine(lcCustomer(), QStringLiteral("%1 => error = %2").arg(path, file.errorString()));
    }
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

QString CustomerSlideshowFolder::shoutCopyName(const QString &entry)
{
    QString e = entry.startsWith(QLatin1String("./")) ? entry.mid(2) : entry;
    if (e.isEmpty() || e.endsWith(u'/'))
        return {};
    const qsizetype slash = e.lastIndexOf(u'/');
    const QString folderPart = slash < 0 ? QString() : escapeFolderPart(e.left(slash));
    const QString name = e.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot <= 0 ? name : name.left(dot);
    const QString ext = dot <= 0 ? QString() : name.mid(dot);
    const QString copy = folderPart + u'_' + stem + kOverlaySuffix + ext;
    return QFile::encodeName(copy).size() > 255 ? QString() : copy;
}

QString CustomerSlideshowFolder::shoutSourceName(const QString &copyName)
{
    const qsizetype dot = copyName.lastIndexOf(u'.');
    const QString stem = dot <= 0 ? copyName : copyName.left(dot);
    const QString ext = dot <= 0 ? QString() : copyName.mid(dot);
    const qsizetype sep = stem.indexOf(u'_');
    if (sep < 0 || !stem.endsWith(kOverlaySuffix) || stem.size() - kOverlaySuffix.size() <= sep + 1)
        return {};
    const QString folderPart = unescapeFolderPart(stem.left(sep));
    const QString name = stem.mid(sep + 1, stem.size() - kOverlaySuffix.size() - sep - 1) + ext;
    return folderPart.isEmpty() ? name : folderPart + u'/' + name;
}

QStringList CustomerSlideshowFolder::slidesIn(const QString &folder)
{
    QStringList slides;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : entries) {
        if (info.suffix().compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0)
            slides.append(info.fileName());
    }
    return slides;
}

QString CustomerSlideshowFolder::locateEntry(const QString &searchPath, const QString &entry)
{
    if (searchPath.isEmpty() || entry.isEmpty())
        return {};
    const QString relative = entry.startsWith(QLatin1String("./")) ? entry.mid(2) : entry;
    const QString base = QDir::cleanPath(searchPath);
    const QString path = QDir::cleanPath(base + u'/' + relative);
    if (relative.startsWith(u'/') || !path.startsWith(base + u'/'))
        return {};
    return path;
}

} // namespace kivo
