#include "app/HousekeepingTimers.h"
#include "platform/Preferences.h"
#include "station/Clock.h"

#include <QSignalSpy>
#include <QtTest>

#include <ctime>

using namespace kivo;

// The daily relaunch at 06:05, the watchdog heartbeat and the bring-to-front.
class TestHousekeepingTimers : public QObject
{
    Q_OBJECT

    static QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
    }

    void relaunchTrigger()
    {
        QCOMPARE(HousekeepingTimers::relaunchTriggerFor(at(2024, 5, 6, 6, 4)),
                 at(2024, 5, 6, 6, 5));
        QCOMPARE(HousekeepingTimers::relaunchTriggerFor(at(2024, 5, 6, 6, 6)),
                 at(2024, 5, 7, 6, 5));
        QCOMPARE(HousekeepingTimers::relaunchTriggerFor(at(2024, 5, 6, 6, 5)),
                 at(2024, 5, 6, 6, 5));
        QCOMPARE(HousekeepingTimers::relaunchTriggerFor(at(2024, 5, 6, 0, 0)),
                 at(2024, 5, 6, 6, 5));
        QCOMPARE(HousekeepingTimers::relaunchTriggerFor(at(2024, 12, 31, 23, 0)),
                 at(2025, 1, 1, 6, 5));
    }

    void relaunchStaysAtSixOFiveAcrossDaylightSaving()
    {
        // The night to 31 March 2024 is an hour short, the night to 27 October
        // an hour long; the relaunch is at 06:05 on the wall clock either way.
        const QDateTime spring = HousekeepingTimers::relaunchTriggerFor(at(2024, 3, 30, 7, 0));
        QCOMPARE(spring, at(2024, 3, 31, 6, 5));
        QCOMPARE(at(2024, 3, 30, 6, 5).secsTo(spring), 23 * 3600);

        const QDateTime autumn = HousekeepingTimers::relaunchTriggerFor(at(2024, 10, 26, 7, 0));
        QCOMPARE(autumn, at(2024, 10, 27, 6, 5));
        QCOMPARE(at(2024, 10, 26, 6, 5).secsTo(autumn), 25 * 3600);
    }

    void relaunchFiresOnceAtTheTrigger()
    {
        ScopedTestClock clock(at(2024, 5, 6, 6, 4));
        HousekeepingTimers timers;
        QSignalSpy spy(&timers, &HousekeepingTimers::relaunchRequested);
        timers.setupAutoRelaunchTimer();
        QVERIFY(timers.relaunchIsArmed());
        QCOMPARE(timers.relaunchTrigger(), at(2024, 5, 6, 6, 5));

        clock.set(at(2024, 5, 6, 6, 4, 59));
        timers.checkRelaunchTrigger();
        QCOMPARE(spy.count(), 0);
        QVERIFY(timers.relaunchIsArmed());

        clock.set(at(2024, 5, 6, 6, 5));
        timers.checkRelaunchTrigger();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toMap().value(QStringLiteral("LSLaunchFlags")).toInt(), 768);
        QVERIFY(!timers.relaunchIsArmed());

        clock.set(at(2024, 5, 7, 6, 5));
        timers.checkRelaunchTrigger();
        QCOMPARE(spy.count(), 1);
    }

    void bringToFront()
    {
        Preferences &prefs = Preferences::standard();
        HousekeepingTimers timers;
        QSignalSpy spy(&timers, &HousekeepingTimers::bringToFrontRequested);

        prefs.setValue(QStringLiteral("prefAutoBringAppToFrontAfterLaunch"), false);
        prefs.setValue(QStringLiteral("prefAutoBringAppToFrontAfterLaunchDelay"), 0.2);
        QVERIFY(!timers.setupAutoBringToFront());

        prefs.setValue(QStringLiteral("prefAutoBringAppToFrontAfterLaunch"), true);
        prefs.setValue(QStringLiteral("prefAutoBringAppToFrontAfterLaunchDelay"), 0.0);
        QVERIFY(!timers.setupAutoBringToFront());
        prefs.setValue(QStringLiteral("prefAutoBringAppToFrontAfterLaunchDelay"), -1.0);
        QVERIFY(!timers.setupAutoBringToFront());
        QVERIFY(!timers.bringToFrontIsArmed());

        prefs.setValue(QStringLiteral("prefAutoBringAppToFrontAfterLaunchDelay"), 0.2);
        QVERIFY(timers.setupAutoBringToFront());
        QVERIFY(spy.wait(3000));
        QCOMPARE(spy.count(), 1);
        QVERIFY(!timers.bringToFrontIsArmed());
    }
};

QTEST_GUILESS_MAIN(TestHousekeepingTimers)
#include "tst_housekeepingtimers.moc"
