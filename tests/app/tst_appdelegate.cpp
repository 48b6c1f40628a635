#include "OutputCapture.h"
#include "TestSupport.h"

#include "app/AppDelegate.h"
#include "app/FactoryDefaults.h"
#include "app/Relauncher.h"
#include "platform/AppPaths.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "util/Async.h"

#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <ctime>

using namespace kivo;

// The start-up and the orderly shutdown, the housekeeping timers, and
// the relaunch: the station's side, the relaunch tool and the command line.
class TestAppDelegate : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QObject m_button;
    const QString kPath = QStringLiteral("prefSlideShowPath");
    const QString kStyle = QStringLiteral("prefTransitionStyle");
    const QString kStation = QStringLiteral(KIVO_BUILD_DIR "/bin/kivo-slideshow");
    const QString kTool = QStringLiteral(KIVO_BUILD_DIR "/libexec/kivo-slideshow/relaunch");
    Preferences &prefs() { return Preferences::standard(); }
    static QDateTime at(int mo, int d, int h, int mi, int s = 0, int y = 2024)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    }

private slots:
    void initTestCase()
    {
        AppPaths::setPrefix(m_prefix.path());
        QVERIFY(test::writeFile(AppPaths::resourcesDir() + "/FactoryDefault.plist",
                                serializePropertyList(QVariantMap{{kPath, "~/Factory/Images"}})));
    }
    void init() { test::resetPreferences(); }

    // The displays start only with a valid main folder (on the first launch
    // the factory one, made then), the console only outside the shout mode;
    // the shout mode and the demo search search at once.
    void startUp_data()
    {
        // search: the first search's log line; empty: none
        test::columns<QVariantMap, bool, bool, QString>("stored", "starts", "console", "search");
        test::row("console", QVariantMap{}, true, true, QString());
        test::row("main folder missing", QVariantMap{{kPath, "/nowhere"}}, false, true, QString());
        test::row("first launch", QVariantMap{{kPath, "~/Factory/Images"}}, true, true, QString());
        test::row("shout mode", QVariantMap{{"prefDoShoutMode", true}}, true, false,
                  QString("basePath = "));
        test::row("demo search",
                  QVariantMap{{"prefSearchDemoCodeAtStartup", true},
                              {"prefSupportDemoCode", true},
                              {"prefDemoCodesList", "demo"}},
                  true, true, QString("[demo] is a demo code"));
    }
    void startUp()
    {
        const auto [stored, starts, console, search] =
            test::fetch<QVariantMap, bool, bool, QString>("stored", "starts", "console", "search");
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Images"));
        QVERIFY(QDir(QDir::homePath() + "/Factory").removeRecursively());
        prefs().setValue(kPath, "~/Images");
        prefs().setValues(stored);
        OutputCapture log;
        AppDelegate delegate;
        delegate.applicationWillFinishLaunching();
        delegate.applicationDidFinishLaunching();
        QCOMPARE(log.text().contains("AppDelegate->startSequence... starting"), starts);
        QCOMPARE(std::ranges::any_of(
                     QApplication::topLevelWidgets(),
                     [](QWidget *w) { return w->inherits("kivo::MainWindowController"); }),
                 console);
        QTRY_VERIFY(log.text().contains(search.toUtf8()));
        QCOMPARE(prefs().string(QStringLiteral("prefNSScreenIndex7")), "< None Detected >");
        QVERIFY(QFileInfo(QDir::homePath() + "/Factory/Images").isDir());
        if (starts) {
            QCOMPARE(prefs().string(kPath),
                     stored.value(kPath, "~/Images").toString().replace("~", QDir::homePath()));
            QVERIFY(!prefs().data(QStringLiteral("prefSlideShowPathAliasData")).isEmpty());
        }
        QVERIFY(delegate.timers().relaunchIsArmed() && delegate.timers().watchdogIsRunning());
        delegate.applicationWillTerminate();
        QVERIFY(!delegate.timers().relaunchIsArmed() && !delegate.timers().watchdogIsRunning());
    }

    // Anything but exactly one of the five choices becomes "fade".
    void transitionStyleIsForcedUnlessExactlyAChoice()
    {
        const QStringList choices{"No Transition Effect", "fade", "moveIn", "push", "reveal"};
        for (const QVariant &stored :
             {QVariant(), QVariant(""), QVariant("PUSH"), QVariant("push "), QVariant("Random"),
              QVariant(3), QVariant("reveal"), QVariant("No Transition Effect")}) {
            prefs().setValue(kStyle, stored);
            AppDelegate().setupTransitionChoices();
            QCOMPARE(prefs().string(kStyle), choices.contains(stored) ? stored : "fade");
        }
        QCOMPARE(prefs().stringArray(QStringLiteral("prefAvailTransitionStyles")), choices);
    }

    // The log goes to the day's file by the forced value, else the stored one,
    // else the factory one.
    void logRedirectionByPrecedence()
    {
        const QString key = QStringLiteral("prefRedirectNSLogToFile");
        const QVariant none;
        // factory, stored, forced, redirects
        for (const auto &[factory, stored, forced, redirects] :
             {std::tuple{QVariant(true), none, none, true},
              {QVariant(false), none, none, false},
              {QVariant(true), QVariant(false), none, false},
              {QVariant(false), QVariant(false), QVariant(true), true}}) {
            QTemporaryDir dir;
            for (const auto &[name, value] :
                 {std::pair{"FactoryDefault.plist", factory}, {"ForcedDefaultPrefs.plist", forced}})
                QVERIFY(!value.isValid() ||
                        test::writeFile(dir.filePath(name),
                                        serializePropertyList(QVariantMap{{key, value}})));
            prefs().setValue(key, stored);
            QCOMPARE(FactoryDefaults::redirectsLogToFile(prefs(), dir.path()), redirects);
        }
        prefs().registerDefaults({});
    }

    // The night to 31 March 2024 is an hour short, the night to 27 October an
    // hour long; the relaunch stays at 06:05 on the wall clock.
    void relaunchTrigger()
    {
        // before, at, after, year end, spring, autumn
        for (const auto &[now, trigger] : {std::pair{at(5, 6, 6, 4), at(5, 6, 6, 5)},
                                           {at(5, 6, 6, 5), at(5, 6, 6, 5)},
                                           {at(5, 6, 6, 6), at(5, 7, 6, 5)},
                                           {at(12, 31, 23, 0), at(1, 1, 6, 5, 0, 2025)},
                                           {at(3, 30, 7, 0), at(3, 31, 6, 5)},
                                           {at(10, 26, 7, 0), at(10, 27, 6, 5)}})
            QCOMPARE(HousekeepingTimers::relaunchTriggerFor(now), trigger);
    }

    // Fires once at the trigger; a relaunch that fails (no application object
    // here) arms the next day's.
    void relaunchFiresOnceAtTheTrigger()
    {
        ScopedTestClock clock(at(5, 6, 6, 4));
        AppDelegate delegate;
        HousekeepingTimers &timers = delegate.timers();
        QSignalSpy spy(&timers, &HousekeepingTimers::relaunchRequested);
        timers.setupAutoRelaunchTimer();
        for (const QDateTime &now : {at(5, 6, 6, 4, 59), at(5, 6, 6, 5), at(5, 6, 6, 6)}) {
            clock.set(now);
            timers.checkRelaunchTrigger();
            QCOMPARE(spy.count(), 1 - int(now < at(5, 6, 6, 5)));
            QVERIFY(timers.relaunchIsArmed());
        }
        QCOMPARE(timers.relaunchTrigger(), at(5, 7, 6, 5));
        QCOMPARE(spy.at(0).at(0).toMap().value(QStringLiteral("LSLaunchFlags")).toInt(), 768);
    }

    void bringToFrontOnlyAfterADelay()
    {
        for (double delay : {0.0, -1.0, 0.2}) {
            prefs().setValues({{"prefAutoBringAppToFrontAfterLaunch", true},
                               {"prefAutoBringAppToFrontAfterLaunchDelay", delay}});
            HousekeepingTimers timers;
            QSignalSpy spy(&timers, &HousekeepingTimers::bringToFrontRequested);
            QCOMPARE(timers.setupAutoBringToFront(), delay > 0);
            QCOMPARE(spy.wait(delay > 0 ? 3000 : 300), delay > 0);
        }
    }

    // A missing tool never makes the station quit; a present one is handed
    // the station, its process id and the flags (truncated to 32 bits) before
    // the station quits with the request's sender. Under the unit the station
    // quits with status 75 and no tool.
    void relaunchStartsTheToolThenQuits()
    {
        const QVariantMap request{{"LSLaunchFlags", Q_INT64_C(0x100000300)},
                                  {"sender", QVariant::fromValue<QObject *>(&m_button)}};
        QVariantList quitArgs; // sender, exit status
        const auto quit = [&](const QVariant &sender, int status) { quitArgs = {sender, status}; };
        QVERIFY(!Relauncher::relaunch(request, quit));
        QVERIFY(quitArgs.isEmpty());
        qputenv("NOTIFY_SOCKET", "/nowhere");
        QVERIFY(Relauncher::relaunch(request, quit));
        qunsetenv("NOTIFY_SOCKET");
        QCOMPARE(quitArgs.value(1), 75);
        const QByteArray args = m_prefix.filePath(QStringLiteral("args")).toUtf8();
        const QString tool = AppPaths::libexecDir() + "/relaunch";
        QVERIFY(test::writeFile(tool, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args +
                                          ".tmp'; mv '" + args + ".tmp' '" + args + "'\n"));
        QVERIFY(QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(Relauncher::relaunch(request, quit, "/opt/k"));
        QCOMPARE(quitArgs, QVariantList({QVariant::fromValue<QObject *>(&m_button), 0}));
        QTRY_COMPARE(test::readFile(args),
                     "/opt/k\n" + QByteArray::number(QCoreApplication::applicationPid()) +
                         "\n768\n");
    }

    // The support options work without a display; the relaunch tool refuses
    // what it cannot carry out. Its wait for the old station is run in
    // tests/e2e/startup_test.sh.
    void commandLines_data()
    {
        test::columns<QString, QStringList, int, QByteArray>("program", "args", "status", "output");
        QTest::newRow("version") << kStation << QStringList{"--version"} << 0
                                 << QByteArray("kivo-slideshow " KIVO_VERSION);
        QTest::newRow("unknown option")
            << kStation << QStringList{"--no-such"} << 2 << QByteArray();
        // Ids that name no single process, or wider than pid_t (cut to 1).
        for (const char *pid : {"abc", "1", "4294967297"})
            QTest::newRow(pid) << kTool << QStringList{"/nowhere", pid} << 2
                               << QByteArray("invalid process id");
        QTest::newRow("no station")
            << kTool << QStringList{"/nowhere", "999999999"} << 1 << QByteArray("cannot start");
        // This test's own name is a prefix of the station's: never signalled.
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QTest::newRow("name prefix")
            << kTool
            << QStringList{"/nowhere/" + self + "-old",
                           QString::number(QCoreApplication::applicationPid()), "0", "0"}
            << 1 << QByteArray("not waiting for it");
    }
    void commandLines()
    {
        const auto [program, args, status, output] =
            test::fetch<QString, QStringList, int, QByteArray>("program", "args", "status",
                                                               "output");
        QProcess p;
        p.start(program, args);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), status);
        const QByteArray text = p.readAllStandardOutput() + p.readAllStandardError();
        QVERIFY2(text.contains(output), text.constData());
    }

    // Last, since a quit is for good. A stuck worker is abandoned after its
    // pool's bound; once the quit began, no pool waits past its deadline.
    void shutdownIsBounded()
    {
        auto gate = std::make_shared<QSemaphore>();
        WorkerPool a(QStringLiteral("a")), b(QStringLiteral("b"));
        QObject receiver;
        for (WorkerPool *pool : {&a, &b})
            Async::run(
                *pool, &receiver, [gate] { gate->acquire(); }, [] {});
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!a.shutdown(100) && WorkerPool::workAbandoned());
        WorkerPool::beginQuit(300);
        QVERIFY(!b.shutdown(5000));
        QVERIFY(waited.elapsed() < 1000);
        gate->release(2);
    }
};

int main(int argc, char *argv[])
{
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    QApplication app(argc, argv);
    TestAppDelegate tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_appdelegate.moc"
