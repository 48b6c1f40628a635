#include "platform/UnixSignalWatcher.h"

#include <QtTest>

#include <csignal>
#include <thread>

using namespace kivo;

class TestUnixSignalWatcher : public QObject
{
    Q_OBJECT
private slots:
    void deliversOnTheOwnerThreadAndRestoresHandlers()
    {
        struct sigaction before = {}, after = {}, chld = {};
        ::sigaction(SIGTERM, nullptr, &before);
        {
            UnixSignalWatcher watcher;
            QVERIFY(watcher.isActive());
            QVERIFY(!UnixSignalWatcher().isActive()); // only one at a time
            ::sigaction(SIGCHLD, nullptr, &chld);
            QVERIFY(chld.sa_handler == SIG_DFL);
            QList<int> got;
            connect(&watcher, &UnixSignalWatcher::signalReceived, this, [&](int n) {
                QCOMPARE(QThread::currentThread(), thread());
                got << n;
            });
            QCOMPARE(::raise(SIGTERM), 0);
            // Raised on another thread, the signal still reaches the owner's thread.
            std::thread([] { ::kill(::getpid(), SIGINT); }).join();
            QTRY_COMPARE(got, (QList<int>{SIGTERM, SIGINT}));
        }
        ::sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
    }

    void receiverMayDestroyTheWatcher()
    {
        // A new watcher works after the first one is gone.
        auto *watcher = new UnixSignalWatcher;
        QVERIFY(watcher->isActive());
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
