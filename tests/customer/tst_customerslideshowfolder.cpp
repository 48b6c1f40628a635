#include "PhotoFixtures.h"

#include "customer/CodeWatch.h"
#include "customer/CustomerSlideshowFolder.h"
#include "customer/FoundPhoto.h"
#include "station/ShoutCopyName.h"

#include "OutputCapture.h"

#include <array>

#include <unistd.h>

using namespace kivo;
using namespace kivo::test;

class TestCustomerSlideshowFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ObserverToken m_token;
    QList<QVariantMap> m_plays; // play requests
    QString day(QString rel = {}) const { return QDir::cleanPath(m_dir.filePath("day/" + rel)); }
    QString work(QString rel = {}) const { return QDir::cleanPath(m_dir.filePath("work/" + rel)); }
    std::unique_ptr<CustomerSlideshowFolder> folder(bool overlays = true, int screens = 2)
    {
        auto f = std::make_unique<CustomerSlideshowFolder>();
        f->setWorkingFolder(work());
        f->setOverlayFolder(m_dir.filePath(overlays ? "Desktop" : "none"));
        f->setScreenCount([screens] { return screens; });
        return f;
    }
    // Runs one preparation to its end: the prepared count (-1: no end).
    int prepare(const QStringList &response, bool overlays = true, int screens = 2, int threads = 2)
    {
        auto f = folder(overlays, screens);
        f->setCompositeThreads(threads);
        QSignalSpy done(f.get(), &CustomerSlideshowFolder::preparationFinished);
        f->handleFoundImages({{"searchPath", day()}}, response);
        return done.wait(20000) ? done.first().first().toInt() : -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(writeOverlay(m_dir.filePath("Desktop/Slideshow_LS.png"), 180, 120));
        QVERIFY(writeOverlay(m_dir.filePath("Desktop/Slideshow_PRT.png"), 120, 180));
        m_token = NotificationCenter::defaultCenter().addObserver(
            "SlideShowParamChanged", this, [this](const Notification &n) {
                m_plays << n.userInfo;
                m_plays.last().insert("held", listing(work()));
            });
    }
    void init()
    {
        QVERIFY(QDir(day()).removeRecursively() && QDir(work()).removeRecursively());
        setPrefs({{keys::prefDoShoutMode, false}, {keys::prefMaxPhotosInLocalFolder, 40}});
        m_plays.clear();
    }

    // Shout-mode copy names are unique (the folder part is escaped) and lead
    // back to their entry; an entry never leads outside the search folder.
    void names()
    {
        for (const QString names :
             {"1234/IMG_0001.jpg>1234_IMG_0001_overlay.jpg", "A_B/c.JPG>A%5FB_c_overlay.JPG",
              "50%/x.jpg>50%25_x_overlay.jpg", ".hid/y.jpg>%2Ehid_y_overlay.jpg",
              "flat.jpg>_flat_overlay.jpg", ">A_b.jpg"}) {
            const QString entry = names.section('>', 0, 0), copy = names.section('>', 1);
            QCOMPARE(ShoutCopyName::entryOf(copy), entry);
            if (!entry.isEmpty())
                QCOMPARE(ShoutCopyName::forEntry("./" + entry), copy);
        }
        QCOMPARE(FoundPhoto::locate("/d/day/", "./1/a.jpg"), QString("/d/day/1/a.jpg"));
        QVERIFY(FoundPhoto::locate("/d/day", "../other/1/a.jpg").isEmpty());
        QVERIFY(FoundPhoto::locate("/d/day", "/etc/passwd").isEmpty());
        // Settling: 2 s after the last change; a time ahead of the clock has settled.
        for (auto [modified, now, at] : {std::array<qint64, 3>{1000, 1000, 3000},
                                         {1000, 2999, 3000},
                                         {1000, 3000, 0},
                                         {5000, 1000, 0}})
            QCOMPARE(FoundPhoto::settlesAt(modified, now), at);
    }

    // Preparations run one at a time: a search sees the previous preparation
    // complete and the previous customer's slides gone. Behind the running
    // one at most one waits: the newest replaces it. The display is told
    // after the first photo and at the end.
    void preparationsRunOneAtATime()
    {
        QVERIFY(writeFile(work("previous.jpg"), "old customer"));
        const QStringList first{"./1/p0.jpg", "./1/p1.jpg", "./1/p2.jpg", "./1/p3.jpg"};
        for (const QString &entry : first + QStringList{"2/q.jpg", "3/r.jpg"})
            QVERIFY(writePhoto(day(entry), 1200, 800));
        auto f = folder();
        auto seen = std::make_shared<QStringList>(); // read once the worker's result is in
        f->setPhotoSearch([seen, dir = work()](const QVariantMap &request) {
            *seen << listing(dir).join(u' ');
            return request.value("found").toStringList();
        });
        QSignalSpy done(f.get(), &CustomerSlideshowFolder::preparationFinished);
        f->handleFoundImages({{"searchPath", day()}}, first);
        for (const char *found : {"2/q.jpg", "3/r.jpg"})
            f->startPreparation({{"searchPath", day()}, {"found", QStringList{found}}});
        QTRY_COMPARE_WITH_TIMEOUT(done, (QList<QVariantList>{{4}, {1}}), 20000);
        QCOMPARE(m_plays.size(), 4);
        QCOMPARE(m_plays.first().value("sourcePath"), work());
        QCOMPARE(*seen, QStringList{"p0.jpg p1.jpg p2.jpg p3.jpg"});
        QCOMPARE(listing(work()), QStringList{"r.jpg"});
    }

    // A photo left out as too fresh is searched again a few seconds later
    // (a photo dated in the future has settled); a search that gave no
    // answer is repeated once, not again and again.
    void repeatSearch()
    {
        QVERIFY(writePhoto(day("6/new.jpg"), 32, 32, 0) &&
                writePhoto(day("6/ahead.jpg"), 32, 32, -3600));
        auto f = folder();
        auto answer =
            std::make_shared<std::optional<QStringList>>(QStringList{"6/ahead.jpg", "6/new.jpg"});
        f->setPhotoSearch([answer](const QVariantMap &) { return *answer; });
        QSignalSpy done(f.get(), &CustomerSlideshowFolder::preparationFinished);
        f->startPreparation({{"searchPath", day()}});
        QTRY_COMPARE_WITH_TIMEOUT(done, (QList<QVariantList>{{1}, {2}}), 10000);
        QCOMPARE(listing(work()), (QStringList{"ahead.jpg", "new.jpg"}));
        answer->reset();
        f->startPreparation({{"searchPath", day()}});
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 4, 10000);
        QVERIFY(!done.wait(CustomerSlideshowFolder::kRepeatDelayMs + 500));
    }

    // A new code empties the folder and clears the display before its search.
    // A code without settled photos is watched, quietly: its photo plays once
    // settled; a newer request or the end of the wait ends the watch.
    void newCodeWaitsForPhotos()
    {
        setPrefs({{keys::prefWaitForPhotosMinutes, 1}});
        auto f = folder();
        f->setPhotoSearch([](const QVariantMap &r) {
            const QString code = r.value("customerid").toString();
            QStringList found;
            for (const QString &name :
                 QDir(r.value("searchPath").toString() + "/" + code).entryList({"*.jpg"}))
                found << code + "/" + name;
            return std::optional(found);
        });
        QSignalSpy done(f.get(), &CustomerSlideshowFolder::preparationFinished);
        const auto scan = [&](const char *code, const QStringList &held) {
            const qsizetype before = done.size();
            f->startPreparation({{"searchPath", day()}, {"customerid", code}});
            QTRY_VERIFY_WITH_TIMEOUT(done.size() > before, 8000);
            QCOMPARE(listing(work()), held);
        };
        OutputCapture log;
        QVERIFY(writePhoto(day("A/a.jpg"), 32, 32));
        scan("A", {"a.jpg"});
        m_plays.clear();
        scan("B", {});
        QCOMPARE(m_plays.size(), 1);
        QCOMPARE(m_plays.first().value("held").toStringList(), QStringList());
        QVERIFY(writePhoto(day("B/b.jpg"), 32, 32, 0));
        qint64 settles = 0; // the watch looks again then
        QVERIFY(CodeWatch::settledPhotos(day("B"), &settles).isEmpty());
        QCOMPARE(settles, QFileInfo(day("B/b.jpg")).lastModified().toMSecsSinceEpoch() +
                              FoundPhoto::kSettleSecs * 1000);
        QTRY_COMPARE_WITH_TIMEOUT(listing(work()), QStringList{"b.jpg"}, 8000);
        QTRY_VERIFY(log.text().contains("waiting for photos of code [B]: photos found"));

        scan("C", {});
        scan("A", {"a.jpg"});
        QVERIFY(writePhoto(day("C/c.jpg"), 32, 32));
        setPrefs({{keys::prefWaitForPhotosMinutes, 0.01}});
        scan("D", {});
        QTRY_VERIFY_WITH_TIMEOUT(log.text().contains("photos of code [D]: timed out"), 5000);
        QVERIFY(log.text().contains("of code [C]: replaced by a newer request [A]"));
        QCOMPARE(log.text().count("waiting up to"), 3);
        QCOMPARE(log.text().count("items found in"), 6);
    }

    // Photos still being written, cut short or gone are left out; without an
    // overlay a photo enters unchanged. On a full disk (a small tmpfs) the
    // previous customer's slides stay while no new photo fits, nothing half
    // written is left, and the failures make one log line per preparation;
    // with the count still 1 the display (0 of 1) is told again, and at the end.
    void consoleModeSkipsAndFails()
    {
        if (::getuid() != 0)
            QSKIP("mounting a tmpfs needs the superuser");
        QVERIFY(writePhoto(day("5/a.jpg"), 32, 32) && writePhoto(day("5/fresh.jpg"), 32, 32, 0));
        QVERIFY(writePhoto(day("5/c.jpg"), 32, 32) && writePhoto(day("5/big.jpg"), 2400, 2400));
        QVERIFY(writePhoto(day("5/cut.jpg"), 32, 32, 60, 400));
        // Unreadable (a link loop): logged once a minute per folder, not per file.
        QVERIFY(QFile::link("l1.jpg", day("5/l1.jpg")) && QFile::link("l2.jpg", day("5/l2.jpg")));
        QVERIFY(QDir().mkpath(work()) &&
                QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=40k", "tmpfs", work()}) ==
                    0);
        auto unmount = qScopeGuard([this] { QProcess::execute("umount", {work()}); });
        QVERIFY(writeFile(work("previous.jpg"), QByteArray(24000, 'x')));
        OutputCapture log;
        QCOMPARE(prepare({"5/big.jpg", "./5/big.jpg", "5/l1.jpg"}, false, 1, 1), 0);
        QCOMPARE(listing(work()), QStringList{"previous.jpg"});
        QCOMPARE(log.text().count("copyItemAtPath"), 1);
        QCOMPARE(prepare({"5/l2.jpg", "5/l1.jpg"}), 0);
        QCOMPARE(log.text().count("cannot be read"), 1);
        const int prepared =
            prepare({"5/fresh.jpg", "5/cut.jpg", "5/gone.jpg", "5/a.jpg", "5/big.jpg", "5/c.jpg"},
                    false, 1, 1);
        QCOMPARE(prepared, 2);
        QCOMPARE(m_plays.size(), 3);
        QCOMPARE(m_plays.last().value("screenIndex").toInt(), 0);
        QCOMPARE(listing(work()), (QStringList{"a.jpg", "c.jpg"}));
        QCOMPARE(readFile(work("a.jpg")), readFile(day("5/a.jpg")));
    }

    // Nothing usable: the previous slides stay and the display is not told.
    // The folder is emptied without following a link in it; a working folder
    // that is itself a link is never emptied.
    void consoleModeStaysInsideWorkingFolder()
    {
        const QString outside = m_dir.filePath("outside");
        QVERIFY(writeFile(outside + "/keep.jpg", "keep"));
        QVERIFY(writeFile(work("previous.jpg"), "old customer"));
        QVERIFY(writePhoto(day("4/fresh.jpg"), 32, 32, 0));
        QCOMPARE(prepare({"4/fresh.jpg", "4/missing.jpg"}), 0);
        QVERIFY(m_plays.isEmpty());
        QCOMPARE(listing(work()), QStringList{"previous.jpg"});

        QVERIFY(QFile::link(outside, work("link")));
        QVERIFY(writePhoto(day("4/ok.jpg"), 300, 200));
        QCOMPARE(prepare({"4/ok.jpg"}), 1);
        QCOMPARE(listing(work()), QStringList{"ok.jpg"});

        QVERIFY(QDir(work()).removeRecursively() && QFile::link(outside, work()));
        QCOMPARE(prepare({"4/ok.jpg"}), 0);
        QCOMPARE(listing(outside), QStringList{"keep.jpg"});
        QVERIFY(QFile::remove(work()));
    }

    // Shout mode keeps the newest photos of every code (a maximum below 1
    // means 40), drops copies whose source has gone and files not its own.
    void shoutModeTrimsAndFollowsSources()
    {
        setPrefs({{keys::prefDoShoutMode, true}, {keys::prefMaxPhotosInLocalFolder, 2}});
        for (const char *name : {"A_1/old.jpg", "B/mid.jpg", "C/new.jpg"}) // oldest first
            QVERIFY(writePhoto(day(name), 32, 32));
        QVERIFY(writeFile(work("stray.jpg"), "not ours"));
        const QStringList all{"C/new.jpg", "B/mid.jpg", "A_1/old.jpg"};
        QCOMPARE(prepare(all), 2);
        QCOMPARE(m_plays.size(), 1);
        QCOMPARE(listing(work()), (QStringList{"B_mid_overlay.jpg", "C_new_overlay.jpg"}));
        setPrefs({{keys::prefMaxPhotosInLocalFolder, 0}});
        QCOMPARE(prepare(all), 3);
        QVERIFY(QFile::remove(day("C/new.jpg")));
        QCOMPARE(prepare(all), 2);
        QCOMPARE(listing(work()), (QStringList{"A%5F1_old_overlay.jpg", "B_mid_overlay.jpg"}));
    }
};

QTEST_MAIN(TestCustomerSlideshowFolder)
#include "tst_customerslideshowfolder.moc"
