#include "ConsoleModeFill.h"

#include "CustomerLog.h"
#include "FoundPhoto.h"
#include "OverlayCompositor.h"
#include "WorkingFolder.h"
#include "platform/Log.h"
#include "platform/ThreadPriority.h"
#include "util/Async.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kivo {

ConsoleModeFill::ConsoleModeFill(QString workingFolder, QString searchPath, QStringList response,
                                 std::shared_ptr<OverlayCompositor> compositor,
                                 std::shared_ptr<const std::atomic<bool>> stop, WorkerPool &pool,
                                 WorkerPool &background, QObject *parent)
    : QObject(parent), m_workingFolder(std::move(workingFolder)),
      m_searchPath(std::move(searchPath)), m_response(std::move(response)),
      m_compositor(std::move(compositor)), m_stop(std::move(stop)), m_pool(pool),
      m_background(background), m_results(size_t(m_response.size()))
{}

bool ConsoleModeFill::prepareFolder(const QString &workingFolder)
{
    if (!WorkingFolder::prepare(workingFolder))
        return false;
    WorkingFolder::removeContent(workingFolder, true);
    return true;
}

void ConsoleModeFill::start()
{
    m_compositor->setResultFolder(m_workingFolder);
    if (m_results.empty()) {
        m_finished = true;
        emit finished(0);
        return;
    }
    // The first photo is framed at full speed; the others meanwhile by
    // threads that give way to it, to the display and to the X server.
    run(0, m_pool, false);
    for (size_t i = 1; i < m_results.size(); ++i)
        run(i, m_background, true);
}

void ConsoleModeFill::run(size_t index, WorkerPool &pool, bool background)
{
    Async::run(
        pool, this,
        [entry = m_response.at(qsizetype(index)), searchPath = m_searchPath,
         folder = m_workingFolder, compositor = m_compositor, stop = m_stop, background] {
            if (background)
                ThreadPriority::lowerForBackground();
            return frame(entry, searchPath, folder, *compositor, *stop);
        },
        [this, index](Framed framed) { take(index, std::move(framed)); });
}

ConsoleModeFill::Framed ConsoleModeFill::frame(const QString &entry, const QString &searchPath,
                                               const QString &workingFolder,
                                               OverlayCompositor &compositor,
                                               const std::atomic<bool> &stop)
{
    Framed framed;
    const QString source = stop ? QString() : FoundPhoto::locate(searchPath, entry);
    // Framing decodes the photo strictly: that is its validity test.
    if (source.isEmpty() || !FoundPhoto::isReady(source, &framed.settlesAt, false))
        return framed;
    const QString copyPath = QDir(workingFolder).filePath(QFileInfo(source).fileName());
    // A result that cannot be written (a full disk) is told by the copy's error.
    QString writeError;
    bool incomplete = false;
    framed.pending =
        compositor.applyOverlayToSourceItem(source, copyPath, &writeError, &incomplete);
    if (incomplete) {
        FoundPhoto::leftIncomplete(source);
        return framed;
    }
    framed.source = source;
    if (framed.pending.isEmpty())
        framed.pending = WorkingFolder::copyToPending(source, workingFolder, &framed.error);
    return framed;
}

// Results arrive in any order and are placed in list order. Advancing before
// placing keeps the order when a play request's handler runs an event loop.
void ConsoleModeFill::take(size_t index, Framed framed)
{
    m_results[index] = std::move(framed);
    while (m_next < m_results.size() && m_results[m_next]) {
        const Framed item = std::move(*m_results[m_next]);
        m_results[m_next++].reset();
        place(item);
    }
    if (m_next == m_results.size() && !m_finished) {
        m_finished = true;
        if (m_failed > 0)
            logLine(lcCustomer(), m_firstFailure + QStringLiteral(" (%1 of %2 photos not copied)")
                                                       .arg(m_failed)
                                                       .arg(m_results.size()));
        emit finished(m_prepared);
    }
}

void ConsoleModeFill::place(const Framed &item)
{
    if (*m_stop) {
        if (!item.pending.isEmpty())
            QFile::remove(item.pending);
        return;
    }
    FoundPhoto::keepEarliest(&m_settlesAt, item.settlesAt);
    if (item.source.isEmpty())
        return;
    // The previous customer's slides go only once a new photo can replace them.
    if (!m_emptied && !item.pending.isEmpty()) {
        WorkingFolder::removeContent(m_workingFolder, false);
        m_emptied = true;
    }
    const QString copyPath = QDir(m_workingFolder).filePath(QFileInfo(item.source).fileName());
    QString error = item.error;
    if (!item.pending.isEmpty() && WorkingFolder::renameIntoPlace(item.pending, copyPath, &error))
        ++m_prepared;
    else if (m_failed++ == 0)
        m_firstFailure = QStringLiteral("copyItemAtPath[%1] to [%2] has error = %3")
                             .arg(item.source, m_workingFolder, error);
    if (m_prepared == 1)
        emit playRequested();
}

} // namespace kivo
