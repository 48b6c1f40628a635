#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <thread>

using namespace kivo;

class TestUnixSignalWatcher : public QObject
{
    Q_OBJECT
private slots:
    void deliversTermAndIntOnTheOwnerThread()
    {
        UnixSignalWatcher watcher;
        QVERIFY(watcher.isActive());
        QList<int> got;
        QList<bool> onMain;
        connect(&watcher, &UnixSignalWatcher::signalReceived, this, [&](int n) {
            got << n;
            onMain << (QThread::currentThread() == QCoreApplication::instance()->thread());
        });

        QCOMPARE(::raise(SIGTERM), 0);
        // Raised on another thread, the signal still reaches the owner's thread.
        std::thread([] { ::kill(::getpid(), SIGINT); }).join();
        QTRY_COMPARE(got, (QList<int>{SIGTERM, SIGINT}));
        QCOMPARE(onMain, (QList<bool>{true, true}));
    }

    void onlyOneWatcherAndHandlersRestored()
    {
        struct sigaction before = {};
        ::sigaction(SIGTERM, nullptr, &before);
        {
            UnixSignalWatcher watcher;
            QVERIFY(watcher.isActive());
            UnixSignalWatcher second;
            QVERIFY(!second.isActive());
            struct sigaction chld = {};
            ::sigaction(SIGCHLD, nullptr, &chld);
            QVERIFY(chld.sa_handler == SIG_DFL);
        }
        struct sigaction after = {};
        ::sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);

        // A new watcher works after the first one is gone.
        UnixSignalWatcher again;
        QSignalSpy spy(&again, &UnixSignalWatcher::signalReceived);
        ::raise(SIGTERM);
        QTRY_COMPARE(spy.count(), 1);
    }

    void receiverMayDestroyTheWatcher()
    {
        auto *watcher = new UnixSignalWatcher;
        int calls = 0;
        connect(watcher, &UnixSignalWatcher::signalReceived, this, [&] {
            ++calls;
            delete watcher;
        });
        ::raise(SIGTERM);
        ::raise(SIGINT); // both bytes are in the pipe when the watcher goes
        QTRY_COMPARE(calls, 1);
        QTest::qWait(50);
        QCOMPARE(calls, 1);
    }
};

QTEST_GUILESS_MAIN(TestUnixSignalWatcher)
#include "tst_unixsignalwatcher.moc"
