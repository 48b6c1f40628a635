#include "StationStatus.h"

#include "AppLog.h"
#include "BRLogFileManager.h"
#include "HousekeepingTimers.h"
#include "StationSubsystems.h"
#include "customer/OverlayCompositor.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/SlidePlayer.h"
#include "slideshow/borderlessWindow.h"
#include "slideshow/slideShowWindowController.h"
#include "station/DailyFolders.h"
#include "station/DisplayParameters.h"
#include "station/PrefKeys.h"
#include "util/Async.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScreen>

namespace kivo {

namespace {
QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString roomLabel(int index, const QString &room)
{
    return room.isEmpty() ? QStringLiteral("Display %1").arg(index + 1) : room;
}
} // namespace

StationStatus::StationStatus(StationSubsystems &subsystems, const HousekeepingTimers &timers,
                             QObject *parent)
    : QObject(parent), m_subsystems(subsystems), m_timers(timers),
      m_checks([this] { return checkTargets(); }), m_bus([this] {
          return QString::fromUtf8(QJsonDocument(status()).toJson(QJsonDocument::Compact));
      }),
      m_pool(QStringLiteral("StationStatus->stop"), 1), m_startedAt(QDateTime::currentDateTime()),
      m_startDay(getDailyFolderName()), m_expectedScreens(&DisplayManager::screenCount)
{
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &StationStatus::refresh);
    m_fileTimer.setInterval(kFileEveryMs);
    connect(&m_fileTimer, &QTimer::timeout, this, &StationStatus::writeStatusFile);
    connect(&m_checks, &SelfChecks::changed, this, &StationStatus::refresh);
}

StationStatus::~StationStatus()
{
    stop();
}

void StationStatus::start()
{
    if (m_statusFile.isEmpty())
        m_statusFile = Preferences::standard().string(QLatin1String(keys::prefStatusFile));
    m_bus.start();
    m_checks.start();
    m_refresh.start();
    if (!m_statusFile.isEmpty())
        m_fileTimer.start();
    refresh();
}

void StationStatus::stop()
{
    m_refresh.stop();
    m_fileTimer.stop();
    m_bus.stop();
    m_checks.stop();
    m_pool.shutdown();
}

SelfChecks::Targets StationStatus::checkTargets() const
{
    const Preferences &prefs = Preferences::standard();
    SelfChecks::Targets targets;
    targets.store = mainImagesFolder();
    targets.dayFolder = todaysDayFolderPath();
    targets.dayChanged = getDailyFolderName() != m_startDay;
    if (!prefs.boolean(QLatin1String(keys::prefDoShoutMode))) {
        const QString folder = OverlayCompositor::defaultOverlayFolder() + u'/';
        targets.overlays = {folder + QLatin1String(OverlayCompositor::landscapeOverlayName),
                            folder + QLatin1String(OverlayCompositor::portraitOverlayName)};
    }
    targets.workingFolder = m_subsystems.customerWorkingFolder();
    if (BRLogFileManager::isRedirected())
        targets.logFolder = BRLogFileManager::logFolder();
    return targets;
}

QList<StationStatus::Display> StationStatus::displays() const
{
    QList<Display> list;
    const DisplayManager *manager = m_subsystems.displays();
    const QString working = m_subsystems.customerWorkingFolder();
    const QString current = m_subsystems.currentBarcode();
    const QMap<int, QString> missing =
        manager ? manager->missingPinnedOutputs() : QMap<int, QString>();
    for (int i = 0; manager && i < manager->count(); ++i) {
        const slideShowWindowController *c = manager->controller(i);
        Display d;
        d.index = i;
        d.screen = c->screen() ? c->screen()->name() : QString();
        d.missingMonitor = missing.value(i);
        d.room = Preferences::standard().string(
            DisplayParameters::keyForIndex(QLatin1String(keys::prefNameOfDisplay), i));
        const QString &folder = c->sourcePath();
        d.code = !working.isEmpty() && folder == working ? current : QFileInfo(folder).fileName();
        d.playing = c->isPlaying();
        d.visible = c->window() && c->window()->isVisible();
        d.slidesShown = c->slidesShown();
        d.msSincePaint = c->msSinceLastPaint();
        d.delayMs = c->player().delayMs();
        list.append(d);
    }
    return list;
}

QList<StationStatus::Reason> StationStatus::reasons(const QList<Display> &displays) const
{
    QList<Reason> list;
    for (const QString &text : m_checks.reasons())
        list.append({text, -1, {}});
    const int expected = m_expectedScreens ? m_expectedScreens() : 0;
    if (displays.size() < expected)
        list.append({QStringLiteral("monitor missing: %1 displays for %2 screens")
                         .arg(displays.size())
                         .arg(expected),
                     -1,
                     {}});
    for (const Display &d : displays) {
        if (d.screen.isEmpty())
            list.append({QStringLiteral("display %1 (%2): monitor %3missing")
                             .arg(d.index + 1)
                             .arg(roomLabel(d.index, d.room),
                                  d.missingMonitor.isEmpty()
                                      ? QString()
                                      : QLatin1Char('[') + d.missingMonitor + QStringLiteral("] ")),
                         d.index, d.code});
        const qint64 limit = qint64(d.delayMs) + kPaintGraceMs;
        if (d.playing && (d.msSincePaint < 0 || d.msSincePaint > limit))
            list.append({QStringLiteral("display %1 (%2) not painting")
                             .arg(d.index + 1)
                             .arg(roomLabel(d.index, d.room)),
                         d.index, d.code});
    }
    return list;
}

QJsonObject StationStatus::status() const
{
    const QList<Display> shown = displays();
    QJsonArray reasonTexts;
    for (const Reason &r : reasons(shown))
        reasonTexts.append(r.text);
    QJsonArray displayList;
    for (const Display &d : shown)
        displayList.append(QJsonObject{
            {QStringLiteral("index"), d.index},
            {QStringLiteral("screen"), textOrNull(d.screen)},
            {QStringLiteral("room"), d.room},
            {QStringLiteral("code"), textOrNull(d.code)},
            {QStringLiteral("playing"), d.playing},
            {QStringLiteral("slidesShown"), d.slidesShown},
            {QStringLiteral("lastPaintedSecondsAgo"),
             d.msSincePaint < 0 ? QJsonValue(QJsonValue::Null)
                                : QJsonValue(qRound(d.msSincePaint / 100.0) / 10.0)},
        });
    const SelfChecks::StoreFacts &store = m_checks.store();
    const QDateTime relaunch = m_timers.relaunchTrigger();
    return QJsonObject{
        {QStringLiteral("state"),
         reasonTexts.isEmpty() ? QStringLiteral("ok") : QStringLiteral("degraded")},
        {QStringLiteral("reasons"), reasonTexts},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("pid"), QCoreApplication::applicationPid()},
        {QStringLiteral("startedAt"), m_startedAt.toString(Qt::ISODate)},
        {QStringLiteral("currentCode"), textOrNull(m_subsystems.currentBarcode())},
        {QStringLiteral("store"), QJsonObject{{QStringLiteral("path"), m_checks.storePath()},
                                              {QStringLiteral("reachable"), store.reachable},
                                              {QStringLiteral("lastListingMs"),
                                               store.listingMs < 0 ? QJsonValue(QJsonValue::Null)
                                                                   : QJsonValue(store.listingMs)}}},
        {QStringLiteral("displays"), displayList},
        {QStringLiteral("nextRelaunch"), relaunch.isValid()
                                             ? QJsonValue(relaunch.toString(Qt::ISODate))
                                             : QJsonValue(QJsonValue::Null)},
    };
}

QString StationStatus::statusLine() const
{
    QStringList parts;
    for (const Display &d : displays())
        if (d.visible || !d.code.isEmpty())
            parts << QStringLiteral("%1: %2").arg(
                roomLabel(d.index, d.room), d.code.isEmpty() ? QStringLiteral("idle") : d.code);
    parts << (m_checks.store().reachable ? QStringLiteral("store ok")
                                         : QStringLiteral("store unreachable"));
    const QList<Reason> now = reasons(displays());
    if (!now.isEmpty())
        parts << QStringLiteral("degraded: %1%2")
                     .arg(now.constFirst().text,
                          now.size() > 1 ? QStringLiteral(" (+%1 more)").arg(now.size() - 1)
                                         : QString());
    return parts.join(QStringLiteral(" \u00b7 "));
}

void StationStatus::refresh()
{
    const QList<Display> shown = displays();
    const QList<Reason> now = reasons(shown);
    QStringList signature{m_subsystems.currentBarcode(),
                          m_checks.store().reachable ? QStringLiteral("1") : QStringLiteral("0")};
    for (const Reason &r : now)
        signature << r.text;
    for (const Display &d : shown)
        signature << QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(d.index)
                         .arg(d.screen, d.room, d.code)
                         .arg(d.playing);
    const QString joined = signature.join(u'\n');
    if (joined == m_signature)
        return;
    m_signature = joined;
    logChanges(now);
    m_bus.announce();
    emit statusLineChanged(statusLine());
    writeStatusFile();
}

void StationStatus::logChanges(const QList<Reason> &now)
{
    QStringList texts;
    for (const Reason &r : now) {
        texts << r.text;
        if (!m_reasonTexts.contains(r.text))
            logWarning(lcApp(), QStringLiteral("Status: degraded: %1").arg(r.text),
                       {r.display, r.code});
    }
    for (const QString &text : std::as_const(m_reasonTexts))
        if (!texts.contains(text))
            logLine(lcApp(), QStringLiteral("Status: cleared: %1").arg(text));
    m_reasonTexts = texts;
}

void StationStatus::writeStatusFile()
{
    if (m_statusFile.isEmpty() || m_fileOut)
        return;
    m_fileOut = true;
    const QByteArray bytes = QJsonDocument(status()).toJson(QJsonDocument::Indented);
    Async::run(
        m_pool, this,
        [path = m_statusFile, bytes] {
            QString error;
            return writeFileAtomically(path, bytes, &error) ? QString() : error;
        },
        [this](const QString &error) {
            m_fileOut = false;
            if (!error.isEmpty() && error != m_fileError)
                logWarning(lcApp(),
                           QStringLiteral("Status: cannot write %1: %2").arg(m_statusFile, error));
            m_fileError = error;
        });
}

} // namespace kivo
