// The order of play: the slide queue's ring, shared with the queue-filling
// workers, and the random draw of transition styles.

#include "OutputCapture.h"
#include "slideshow/KivoQueue.h"
#include "slideshow/LogRateLimit.h"
#include "slideshow/SlideshowLog.h"
#include "slideshow/randomNumberGenerator.h"

#include <QtTest>

#include <atomic>
#include <thread>

using kivo::KivoQueue;
using kivo::LogRateLimit;
using kivo::randomNumberGenerator;

class TestPlayOrder : public QObject
{
    Q_OBJECT
private slots:
    // Each path goes in front, so a batch plays in reverse, as a ring; a
    // later batch goes in front of the position; duplicates differing in
    // case and refused paths are skipped; a reset starts over.
    void batchesPlayAsARing()
    {
        KivoQueue q([](const QString &path) { return !path.endsWith(".txt"); });
        QVERIFY(!q.getNextObject());
        q.addToQueueInThread({"r", "q", "p", "P", "notes.txt"});
        QStringList read;
        for (int i = 0; i < 9; ++i) {
            read << q.getNextObject().value();
            if (i == 4)
                q.addToQueueInThread({"s", "Q"});
        }
        QCOMPARE(read, QStringList({"p", "q", "r", "p", "q", "q", "r", "s", "p"}));
        QCOMPARE(q.entries(), QStringList({"s", "p", "q", "r"}));
        q.reset();
        QVERIFY(q.isEmpty() && q.curIndex() == -1);
        q.addToQueueInThread({"a", "b"});
        QCOMPARE(q.getNextObject().value(), QStringLiteral("b"));
    }

    // A batch given up while it is validated (by a reset, or prepared before
    // one) is dropped and holds up no read.
    void abandonedBatches()
    {
        std::atomic<int> validated{0};
        std::atomic<bool> release{false};
        KivoQueue q([&](const QString &path) {
            ++validated;
            while (path.startsWith("/old/") && !release)
                std::this_thread::yield();
            return true;
        });
        const uint64_t before = q.generation();
        std::thread batch([&] { q.addToQueueInThread({"/old/1.jpg", "/old/2.jpg"}); });
        QTRY_COMPARE(validated.load(), 1);
        QVERIFY(q.isEmpty() && !q.getNextObject());
        q.reset();
        q.addToQueueInThread({"/new/1.jpg"});
        release = true;
        batch.join();
        q.addToQueueInThread({"/old/9.jpg"}, before);
        QCOMPARE(q.entries(), QStringList({"/new/1.jpg"}));
    }

    // A line repeated at slide rate passes in a burst, then one a second.
    void logLinesAreBounded()
    {
        OutputCapture log;
        LogRateLimit limit;
        for (int i = 0; i < 1000; ++i)
            limit.log(kivo::lcSlideshow(), "unable to load");
        QCOMPARE(log.text().count("unable to load\n"), LogRateLimit::kBurst);
    }

    // Positions stay in 0..maximum, for a negative, zero or the largest
    // maximum too, and each of them comes up.
    void randomPositions()
    {
        randomNumberGenerator g;
        for (const int32_t max : {-3, 0, 5, INT32_MAX}) {
            g.setupRandomNumberGeneratorWithPhotos(0, 11, max);
            QSet<int32_t> seen;
            for (int i = 0; i < 10000; ++i)
                seen.insert(g.getNextRandomNumber(1));
            const auto [low, high] = std::minmax_element(seen.begin(), seen.end());
            QVERIFY(*low >= 0 && *high <= std::max(max, 0));
            QVERIFY(max == INT32_MAX || seen.size() == std::max(max, 0) + 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlayOrder)
#include "tst_playorder.moc"
