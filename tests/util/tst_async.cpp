#include "util/Async.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using kivo::Async;

class TestAsync : public QObject
{
    Q_OBJECT
private slots:
    void deliversOnTheReceiversThread()
    {
        kivo::WorkerPool pool(QStringLiteral("test"));
        QObject receiver;
        QThread *worker = nullptr, *deliveredOn = nullptr;
        int workerNice = 0, result = 0;
        bool voidDelivered = false;
        Async::run(
            pool, &receiver,
            [&worker, &workerNice] {
                worker = QThread::currentThread();
                workerNice = ::getpriority(PRIO_PROCESS, id_t(::gettid()));
                return 6 * 7;
            },
            [&](int r) {
                result = r;
                deliveredOn = QThread::currentThread();
            });
        Async::run(
            pool, &receiver, [] {}, [&] { voidDelivered = true; });
        QTRY_COMPARE(result, 42);
        QTRY_VERIFY(voidDelivered);
        QVERIFY(worker != QThread::currentThread());
        QVERIFY(workerNice > ::getpriority(PRIO_PROCESS, id_t(::gettid()))); // below the caller
        QCOMPARE(deliveredOn, QThread::currentThread());
    }

    // A result whose receiver is gone, or a task cleared from the pool before
    // it started, is dropped; the work of a cleared task never runs.
    void dropsResultsNobodyWaitsFor()
    {
        kivo::WorkerPool pool(QStringLiteral("test"), 1);
        std::atomic<int> ran{0};
        int delivered = 0;
        auto receiver = std::make_unique<QObject>();
        Async::run(
            pool, receiver.get(),
            [&] {
                QThread::msleep(200); // while the second task waits
                return ++ran;
            },
            [&](int) { ++delivered; });
        QObject survivor;
        Async::run(
            pool, &survivor, [&] { return ++ran; }, [&](int) { ++delivered; });
        receiver.reset();
        QVERIFY(pool.shutdown(5000));
        QTest::qWait(50);
        QCOMPARE(ran.load(), 1);
        QCOMPARE(delivered, 0);
    }
};

QTEST_GUILESS_MAIN(TestAsync)
#include "tst_async.moc"
