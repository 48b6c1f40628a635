#include "platform/UnixSignalWatcher.h"

#include <QtTest>

#include <csignal>
#include <thread>

using namespace kivo;

// SIGTERM and SIGINT ending the station in order is the start-up whole-station
// test's; here the watcher's own contract.
class TestUnixSignalWatcher : public QObject
{
    Q_OBJECT
private slots:
    void deliversOnTheOwnerThreadAndRestoresHandlers()
    {
        struct sigaction before = {}, after = {}, chld = {};
        ::sigaction(SIGTERM, nullptr, &before);
        auto *watcher = new UnixSignalWatcher;
        QVERIFY(watcher->isActive());
        QVERIFY(!UnixSignalWatcher().isActive()); // only one at a time
        ::sigaction(SIGCHLD, nullptr, &chld);
        QVERIFY(chld.sa_handler == SIG_DFL);
        // The receiver may destroy the watcher with the next signal already in its pipe.
        int calls = 0;
        connect(watcher, &UnixSignalWatcher::signalReceived, this, [&](int n) {
            QCOMPARE(QThread::currentThread(), thread());
            QCOMPARE(n, SIGINT);
            ++calls;
            delete watcher;
        });
        // Raised on another thread, the signal still reaches the owner's thread.
        std::thread([] { ::kill(::getpid(), SIGINT); }).join();
        ::raise(SIGTERM);
        QTRY_COMPARE(calls, 1);
        QTest::qWait(50);
        QCOMPARE(calls, 1);
        ::sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
        // A new watcher works after the first one is gone.
        UnixSignalWatcher again;
        QSignalSpy spy(&again, &UnixSignalWatcher::signalReceived);
        ::raise(SIGTERM);
        QTRY_COMPARE(spy.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestUnixSignalWatcher)
#include "tst_unixsignalwatcher.moc"
