#pragma once

#include "SelfChecks.h"
#include "platform/StatusBus.h"
#include "util/WorkerPool.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace kivo {

class HousekeepingTimers;
class StationSubsystems;

// What the station tells about itself: gathers the facts of the displays, the
// current code, the store and the self-checks into one status (JSON, the
// GetStatus answer of StatusBus), "ok" or "degraded" with its reasons. Looks
// again every second on the main thread, from values in memory only; when
// the state, a reason, the current code or what a display plays changed it
// logs the reasons that came (as warnings) and went, announces the status on
// the bus, emits statusLineChanged and rewrites the status file (if any,
// also every kFileEveryMs) on its own worker.
class StationStatus : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;
    static constexpr int kFileEveryMs = 30'000;
    // A playing display that has not painted for its delay and this long.
    static constexpr int kPaintGraceMs = 10'000;

    StationStatus(StationSubsystems &subsystems, const HousekeepingTimers &timers,
                  QObject *parent = nullptr);
    ~StationStatus() override;

    // The status file: the --status-file path, else prefStatusFile.
    void setStatusFile(const QString &path) { m_statusFile = path; }
    // The screens the station should drive (the pinned monitors when there are
    // any); by default every screen the desktop has. Fewer displays than that,
    // or a display whose screen has gone, is a reason to be degraded.
    void setExpectedScreens(std::function<int()> count) { m_expectedScreens = std::move(count); }

    void start();
    void stop();

    QJsonObject status() const;
    // "Room 1: 0412 · Room 2: demo · store ok", for the service manager.
    QString statusLine() const;

signals:
    void statusLineChanged(const QString &line);

private:
    struct Display
    {
        int index = 0;
        QString screen;
        QString missingMonitor; // the pinned monitor while it is missing
        QString room;
        QString code;
        bool playing = false;
        bool visible = false;
        int slidesShown = 0;
        qint64 msSincePaint = -1;
        int delayMs = 0;
    };
    struct Reason
    {
        QString text;
        int display = -1;
        QString code;
    };

    QList<Display> displays() const;
    QList<Reason> reasons(const QList<Display> &displays) const;
    SelfChecks::Targets checkTargets() const;
    void refresh();
    void logChanges(const QList<Reason> &now);
    void writeStatusFile();

    StationSubsystems &m_subsystems;
    const HousekeepingTimers &m_timers;
    SelfChecks m_checks;
    StatusBus m_bus;
    WorkerPool m_pool;
    QTimer m_refresh;
    QTimer m_fileTimer;
    QDateTime m_startedAt;
    QString m_startDay;
    QString m_statusFile;
    std::function<int()> m_expectedScreens;
    QString m_signature;
    QStringList m_reasonTexts;
    bool m_fileOut = false;
    QString m_fileError; // logged once until it changes
};

} // namespace kivo
