#include "slideshow/KivoQueue.h"

#include <QtTest>

#include <atomic>
#include <thread>

using kivo::KivoQueue;

namespace {

bool acceptAll(const QString &)
{
    return true;
}

QStringList readN(KivoQueue &q, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << q.getNextObject().value_or(QStringLiteral("<none>"));
    return out;
}

} // namespace

class TestKivoQueue : public QObject
{
    Q_OBJECT
private slots:
    void batchIsPlayedInReverseAsARing()
    {
        KivoQueue q(acceptAll);
        q.addToQueueInThread({"/x.jpg", "/y.jpg", "/z.jpg"});
        QCOMPARE(q.entries(), QStringList({"/z.jpg", "/y.jpg", "/x.jpg"}));
        // Positions 0, 1, 2, 0, 1.
        QCOMPARE(readN(q, 5), QStringList({"/z.jpg", "/y.jpg", "/x.jpg", "/z.jpg", "/y.jpg"}));
        QCOMPARE(q.curIndex(), 1);

        q.reset();
        QVERIFY(q.isEmpty());
        QCOMPARE(q.curIndex(), -1);
        q.addToQueueInThread({"/a.jpg", "/b.jpg"});
        QCOMPARE(q.getNextObject().value(), QStringLiteral("/b.jpg"));
    }

    void duplicatesDifferingInCaseAreSkipped()
    {
        QStringList list{"/a/b.JPG"};
        QVERIFY(!KivoQueue::addToQueue(list, "/a/B.jpg"));
        QVERIFY(KivoQueue::addToQueue(list, "/a/c.jpg"));
        QCOMPARE(list, QStringList({"/a/c.jpg", "/a/b.JPG"}));

        KivoQueue q(acceptAll);
        q.addToQueueInThread({"/a/b.JPG", "/a/B.jpg", "/a/b.jpg"});
        q.addToQueueInThread({"/A/B.JPG"});
        QCOMPARE(q.entries(), QStringList({"/a/b.JPG"}));
    }

    void resetDuringABatchDropsTheStaleBatch()
    {
        std::atomic<bool> validating{false};
        std::atomic<bool> release{false};
        KivoQueue q([&](const QString &path) {
            if (path == "/old/2.jpg") {
                validating = true;
                while (!release)
                    std::this_thread::yield();
            }
            return true;
        });
        const uint64_t before = q.generation();
        std::thread batch([&] {
            q.addToQueueInThread({"/old/1.jpg", "/old/2.jpg", "/old/3.jpg"});
        });
        QTRY_VERIFY(validating.load());
        // Reads and resets are not held up by the batch being validated.
        QVERIFY(q.isEmpty());
        QVERIFY(!q.getNextObject().has_value());
        q.reset();
        q.addToQueueInThread({"/new/1.jpg"});
        release = true;
        batch.join();
        QCOMPARE(q.entries(), QStringList({"/new/1.jpg"}));

        // A batch prepared before the reset but started after it is dropped too.
        q.addToQueueInThread({"/old/9.jpg"}, before);
        QCOMPARE(q.entries(), QStringList({"/new/1.jpg"}));
    }

    void destructionWaitsForAnAbandonedBatch()
    {
        std::atomic<bool> validating{false};
        std::atomic<int> validated{0};
        auto *q = new KivoQueue([&](const QString &) {
            validating = true;
            ++validated;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return true;
        });
        QStringList many;
        for (int i = 0; i < 1000; ++i)
            many << QStringLiteral("/p/%1.jpg").arg(i);
        std::thread batch([&] { q->addToQueueInThread(many); });
        QTRY_VERIFY(validating.load());
        delete q; // stops the batch at its next path and waits for it
        batch.join();
        QVERIFY(validated.load() < 100);
    }

    void concurrentReadsAddsAndResets()
    {
        KivoQueue q(acceptAll);
        std::atomic<bool> stop{false};
        std::atomic<bool> strayRead{false};
        std::thread reader([&] {
            while (!stop) {
                if (auto path = q.getNextObject(); path && !path->startsWith("/c/"))
                    strayRead = true;
                (void)q.isEmpty();
            }
        });
        std::thread adder([&] {
            for (int round = 0; round < 200; ++round) {
                QStringList batch;
                for (int i = 0; i < 20; ++i)
                    batch << QStringLiteral("/c/%1-%2.jpg").arg(round).arg(i);
                q.addToQueueInThread(batch);
            }
        });
        for (int i = 0; i < 200; ++i) {
            q.reset();
            std::this_thread::yield();
        }
        adder.join();
        stop = true;
        reader.join();
        QVERIFY(!strayRead);
        const QStringList left = q.entries();
        QCOMPARE(QSet<QString>(left.begin(), left.end()).size(), left.size());
        QVERIFY(q.curIndex() < left.size());
    }
    void additionWhilePlayingGoesInFront()
    {
        KivoQueue q(acceptAll);
        q.addToQueueInThread({"r", "q", "p"});
        QCOMPARE(q.entries(), QStringList({"p", "q", "r"}));
        readN(q, 2); // p, q: q returned last, curIndex 1
        q.addToQueueInThread({"s"});
        QCOMPARE(q.entries(), QStringList({"s", "p", "q", "r"}));
        QCOMPARE(readN(q, 4), QStringList({"q", "r", "s", "p"}));
    }
};

QTEST_GUILESS_MAIN(TestKivoQueue)
#include "tst_kivoqueue.moc"
