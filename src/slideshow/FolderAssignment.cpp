#include "FolderAssignment.h"

#include "KivoQueue.h"
#include "SlidePlayer.h"
#include "SlideshowLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/FolderValidation.h"
#include "station/KivoPhotoQueryController.h"
#include "station/MyAliasKit.h"
#include "station/NotificationNames.h"
#include "station/PrefKeys.h"
#include "util/Async.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <optional>
#include <utility>

namespace kivo {

namespace {
// The log keeps naming the display's controller, as it always has.
constexpr QStringView kTraceObject = u"slideShowWindowController";
} // namespace

FolderAssignment::FolderAssignment(int index, const DisplayParameterMap &parameters,
                                   std::shared_ptr<KivoQueue> queue, WorkerPool &workers,
                                   SlidePlayer &player, QObject *parent)
    : QObject(parent), fScreenIndex(index), fParameterDictionary(parameters),
      m_queue(std::move(queue)), m_workers(workers), m_player(player)
{}

void FolderAssignment::handleSlideShowParamChangedNotification(const Notification &n)
{
    if (n.userInfo.isEmpty())
        return;
    // A request without an index addresses display 0.
    if (n.userInfo.value(notificationKey::screenIndex, 0).toInt() != fScreenIndex) {
        logLine(lcSlideshow(),
                traceArrow(kTraceObject, u"handleSlideShowParamChangedNotification") +
                    QStringLiteral(" NOT for us..."));
        return;
    }
    const QString newPath = n.userInfo.value(notificationKey::sourcePath).toString();
    if (!newPath.isEmpty() && !fSourcePath.isEmpty() &&
        newPath.compare(fSourcePath, Qt::CaseInsensitive) != 0)
        m_queue->reset();

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
        logLine(lcSlideshow(),
                traceArrow(kTraceObject, u"handleSlideShowParamChangedNotification") +
                    QStringLiteral("What??? sourcePath is nil???..."));
    }
    validateFolderPrefWithParam(FolderValidation::slideShowFolderTripleForIndex(fScreenIndex),
                                prefs);
    rebuildList();
}

void FolderAssignment::resumeStoredFolder()
{
    if (!fSourcePath.isEmpty())
        return;
    const QString pathKey =
        fParameterDictionary.value(QLatin1String(keys::sPrefKeyForSlideShowPath));
    if (Preferences::standard().string(pathKey).isEmpty())
        return;
    Async::run(
        m_workers, this,
        [triple = FolderValidation::slideShowFolderTripleForIndex(fScreenIndex), pathKey] {
            Preferences &prefs = Preferences::standard();
            return validateFolderPrefWithParam(triple, prefs) ? prefs.string(pathKey) : QString();
        },
        [this](const QString &folder) {
            if (folder.isEmpty() || !fSourcePath.isEmpty())
                return;
            logLine(
                lcSlideshow(),
                traceArrow(kTraceObject, u"resumeStoredFolder") +
                    QStringLiteral(" index = [%1] folder = [%2]").arg(fScreenIndex).arg(folder));
            handleSlideShowParamChangedNotification({QString(notification::SlideShowParamChanged),
                                                     {},
                                                     {{notificationKey::screenIndex, fScreenIndex},
                                                      {notificationKey::sourcePath, folder}}});
        });
}

void FolderAssignment::postFolderStatus(const QString &folder, bool playing)
{
    const QString code = QFileInfo(QDir::cleanPath(folder)).fileName();
    QString status = code;
    if (playing) {
        const QString key =
            DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), fScreenIndex);
        // A display without a name shows the code alone.
        const QString name = Preferences::standard().string(key);
        if (!name.trimmed().isEmpty())
            status = QStringLiteral("%1 (%2)").arg(code, name);
    }
    QVariantMap info;
    info.insert(notificationKey::code, code);
    info.insert(notificationKey::codeStatus, status);
    info.insert(notificationKey::screenIsPlaying, playing);
    info.insert(notificationKey::screenIndex, fScreenIndex);
    NotificationCenter::defaultCenter().post(notification::SlideShowStatus,
                                             QVariant::fromValue<QObject *>(parent()), info);
}

void FolderAssignment::rebuildList()
{
    setupAndStartQuery();
}

void FolderAssignment::setupAndStartQuery()
{
    if (queryStarted) {
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"setupAndStartQuery") +
                                   QStringLiteral("Another in progress..."));
        m_searchAgain = true;
        return;
    }
    if (fSourcePath.isEmpty())
        return;
    queryStarted = true;
    const QString folder = fSourcePath;
    // On a worker: a folder on a share that does not answer must not hold up
    // the main thread. A folder that is gone starts no search.
    Async::run(
        m_workers, this,
        [folder]() -> std::optional<QStringList> {
            if (!QFileInfo::exists(folder))
                return std::nullopt;
            KivoPhotoQueryController photoQuery;
            QStringList found;
            photoQuery.setDelegate([&](const QVariantMap &) { found = photoQuery.response(); });
            photoQuery.startSearchActionWithParam(
                {{QStringLiteral("searchPath"), folder},
                 {QStringLiteral("searchKey"), QStringList{QStringLiteral("*")}}});
            return found;
        },
        [this, folder,
         generation = m_queue->generation()](const std::optional<QStringList> &found) {
            queryStarted = false;
            if (found && folder == fSourcePath)
                doneSearchOperation(*found, generation);
            if (std::exchange(m_searchAgain, false) || folder != fSourcePath)
                setupAndStartQuery();
            queueFillingDone();
        });
}

void FolderAssignment::doneSearchOperation(const QStringList &found, uint64_t generation)
{
    // A folder without photos (the customer's folder emptied for the next
    // code) leaves nothing of them on screen, not even the slide shown last.
    if (found.isEmpty()) {
        m_queue->reset();
        m_player.clearSlide();
        return;
    }
    addToQueueInThread(found, generation);
    m_autoStartWaitsForFill = false;
    // The display starts as soon as the batch is in the queue, and a second
    // after the search at the latest. Every search schedules its own start; a
    // later search (the folder read again while it is still being filled)
    // never puts back an earlier one.
    m_startOnFill = true;
    QTimer::singleShot(kAutoStartMs, this, &FolderAssignment::autoStartDue);
}

void FolderAssignment::addToQueueInThread(const QStringList &paths, uint64_t generation)
{
    // The batch is tied to the queue's generation when the search started: a
    // folder given up before the batch is inserted drops it, even one still
    // waiting here.
    m_pendingFills.push_back({paths, generation});
    startNextFill();
}

void FolderAssignment::startNextFill()
{
    if (m_fillRunning || m_pendingFills.empty())
        return;
    Fill fill = std::move(m_pendingFills.front());
    m_pendingFills.pop_front();
    m_fillRunning = true;
    // The worker holds the queue by shared ownership and nothing of this
    // object; a batch abandoned by a reset leaves at its next path.
    Async::run(
        m_workers, this,
        [queue = m_queue, fill = std::move(fill)] {
            queue->addToQueueInThread(fill.paths, fill.generation, true);
        },
        [this] {
            m_fillRunning = false;
            queueFillingDone();
        });
}

void FolderAssignment::queueFillingDone()
{
    startNextFill();
    if (isFilling())
        return;
    if (std::exchange(m_autoStartWaitsForFill, false) || (m_startOnFill && !m_queue->isEmpty())) {
        m_startOnFill = false;
        doAutoStartQueue();
    }
}

void FolderAssignment::autoStartDue()
{
    if (!std::exchange(m_startOnFill, false))
        return; // started when the batch was queued
    // A large folder takes longer than the second to validate; starting now
    // would find the queue empty and leave the display paused for good, so
    // the start waits for the batch instead.
    if (isFilling()) {
        logLine(lcSlideshow(), traceArrow(kTraceObject, u"doAutoStartQueue") +
                                   QStringLiteral("waiting for the queue to be filled..."));
        m_autoStartWaitsForFill = true;
        return;
    }
    doAutoStartQueue();
}

void FolderAssignment::doAutoStartQueue()
{
    // A slide no longer queued (the customer before) is taken off the screen
    // first: the new one shows at once, from the background.
    const QString shown = m_player.currentSlidePath();
    if (!shown.isEmpty() && !m_queue->entries().contains(shown))
        m_player.clearSlide();
    logLine(lcSlideshow(),
            traceArrow(kTraceObject, u"doAutoStartQueue") + QStringLiteral("starting..."));
    m_player.play();
}

} // namespace kivo
