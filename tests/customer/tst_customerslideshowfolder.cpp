#include "PhotoFixtures.h"
#include "TestSupport.h"

#include "customer/CustomerSlideshowFolder.h"
#include "customer/FoundPhoto.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QImageReader>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace kivo;
using namespace kivo::test;

class TestCustomerSlideshowFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString day() const { return m_dir.filePath(QStringLiteral("day")); }
    QString work() const { return m_dir.filePath(QStringLiteral("work")); }
    QString desk() const { return m_dir.filePath(QStringLiteral("Desktop")); }

    // A settled photo (modified a minute ago) in the day folder.
    QString photo(const QString &relative, int w = 300, int h = 200, int ageSecs = 60)
    {
        const QString path = day() + u'/' + relative;
        if (!writeTaggedJpeg(path, w, h, Qt::green) || !ageFile(path, ageSecs))
            return {};
        return path;
    }

    struct Run
    {
        int prepared = -1;
        QList<QVariantMap> playRequests;
    };

    // Runs one preparation to its end and collects the play requests.
    Run prepare(CustomerSlideshowFolder &folder, const QStringList &response,
                const QVariantMap &request = {})
    {
        Run run;
        auto token = NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("SlideShowParamChanged"),
            [&run](const Notification &n) { run.playRequests.append(n.userInfo); });
        QSignalSpy done(&folder, &CustomerSlideshowFolder::preparationFinished);
        QVariantMap q = request;
        if (!q.contains(QStringLiteral("searchPath")))
            q.insert(QStringLiteral("searchPath"), day());
        folder.handleFoundImages(q, response);
        if (done.wait(20000))
            run.prepared = done.first().first().toInt();
        return run;
    }

    void makeFolder(CustomerSlideshowFolder &f, bool overlays = true)
    {
        f.setWorkingFolder(work());
        f.setOverlayFolder(overlays ? desk() : m_dir.filePath(QStringLiteral("noDesk")));
        f.setScreenCount([] { return 2; });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeOverlay(desk() + QStringLiteral("/Slideshow_LS.png"), 180, 120));
        QVERIFY(writeOverlay(desk() + QStringLiteral("/Slideshow_PRT.png"), 120, 180));
    }

    void init()
    {
        QDir(day()).removeRecursively();
        QDir(work()).removeRecursively();
        Preferences::standard().setValue(QString::fromLatin1(keys::prefDoShoutMode), false);
        Preferences::standard().setValue(QString::fromLatin1(keys::prefMaxPhotosInLocalFolder), 40);
    }

    void locatingEntries()
    {
        QCOMPARE(FoundPhoto::locate("/d/day", "./1/a.jpg"), QString("/d/day/1/a.jpg"));
        QCOMPARE(FoundPhoto::locate("/d/day/", "1/a.jpg"), QString("/d/day/1/a.jpg"));
        QVERIFY(FoundPhoto::locate("/d/day", "../other/1/a.jpg").isEmpty());
        QVERIFY(FoundPhoto::locate("/d/day", "/etc/passwd").isEmpty());
    }

    // Every photo is framed at the overlay's size and enters the folder in
    // list order; the display (1 of 2) is told after the first and at the end.
    void consoleModeFramesEveryPhoto()
    {
        QVERIFY(writeFile(work() + QStringLiteral("/previous.jpg"), "old customer"));
        QStringList list;
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!photo(QStringLiteral("111/p%1.jpg").arg(i)).isEmpty());
            list.append(QStringLiteral("111/p%1.jpg").arg(i));
        }
        QVERIFY(!photo(QStringLiteral("111/tall.jpg"), 200, 300).isEmpty());
        list.append(QStringLiteral("./111/tall.jpg"));
        CustomerSlideshowFolder f;
        makeFolder(f);
        const Run r = prepare(f, list);
        QCOMPARE(r.prepared, 6);
        QCOMPARE(r.playRequests.size(), 2);
        QCOMPARE(r.playRequests.first().value("screenIndex").toInt(), 1);
        QCOMPARE(r.playRequests.first().value("sourcePath").toString(), work());
        QStringList expected{"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "tall.jpg"};
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        QCOMPARE(QImageReader(work() + QStringLiteral("/p0.jpg")).size(), QSize(180, 120));
        QCOMPARE(QImageReader(work() + QStringLiteral("/tall.jpg")).size(), QSize(120, 180));
    }

    // Photos still being written, corrupt or gone are left out; without an
    // overlay the photo enters unchanged; one screen means display 0.
    void consoleModeSkipsUnreadyPhotos()
    {
        const QString good = photo(QStringLiteral("9/good.jpg"), 64, 48);
        const QString fresh = photo(QStringLiteral("9/fresh.jpg"), 64, 48, 0);
        QVERIFY(writeFile(day() + QStringLiteral("/9/cut.jpg"),
                          QByteArray::fromHex("ffd8ffe000104a464946") + QByteArray(300, 'x')));
        QVERIFY(ageFile(day() + QStringLiteral("/9/cut.jpg"), 60));
        CustomerSlideshowFolder f;
        makeFolder(f, false);
        f.setScreenCount([] { return 1; });
        const Run r = prepare(f, {"9/fresh.jpg", "9/cut.jpg", "9/gone.jpg", "9/good.jpg"});
        QCOMPARE(r.prepared, 1);
        QCOMPARE(r.playRequests.size(), 2);
        QCOMPARE(r.playRequests.last().value("screenIndex").toInt(), 0);
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden), QStringList{"good.jpg"});
        QFile a(good), b(work() + QStringLiteral("/good.jpg"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    // A failed copy (here: the file size limit, as on a full disk) is logged;
    // with the count still 1 the display is told again, and once at the end.
    void consoleModeCopyFailureSequence()
    {
        QVERIFY(!photo(QStringLiteral("5/a.jpg"), 32, 32).isEmpty());
        QImage noise(1200, 1200, QImage::Format_RGB32);
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, QRandomGenerator::global()->generate());
        QVERIFY(noise.save(day() + QStringLiteral("/5/b.jpg"), "jpeg", 95));
        QVERIFY(ageFile(day() + QStringLiteral("/5/b.jpg"), 60));
        QVERIFY(!photo(QStringLiteral("5/c.jpg"), 32, 32).isEmpty());
        CustomerSlideshowFolder f;
        makeFolder(f, false);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Run r = prepare(f, {"5/a.jpg", "5/b.jpg", "5/c.jpg"});
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(r.prepared, 2);
        QCOMPARE(r.playRequests.size(), 3);
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"a.jpg", "c.jpg"}));
    }

    // The working folder is emptied without following a symbolic link in it.
    void consoleModeStaysInsideWorkingFolder()
    {
        const QString outside = m_dir.filePath(QStringLiteral("outside"));
        QVERIFY(writeFile(outside + QStringLiteral("/keep.jpg"), "keep"));
        QVERIFY(QDir().mkpath(work()));
        QVERIFY(QFile::link(outside, work() + QStringLiteral("/link")));
        QVERIFY(!photo(QStringLiteral("3/a.jpg")).isEmpty());
        CustomerSlideshowFolder f;
        makeFolder(f);
        QCOMPARE(prepare(f, {"3/a.jpg", "../outside/keep.jpg"}).prepared, 1);
        QVERIFY(QFile::exists(outside + QStringLiteral("/keep.jpg")));
        QCOMPARE(QDir(work()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{"a.jpg"});
    }

    // When nothing found can be used, the previous slides stay and no play
    // request is sent; a working folder that is a symbolic link is refused.
    void consoleModeKeepsPreviousWhenNothingUsable()
    {
        QVERIFY(writeFile(work() + QStringLiteral("/previous.jpg"), "old customer"));
        QVERIFY(!photo(QStringLiteral("4/fresh.jpg"), 32, 32, 0).isEmpty());
        CustomerSlideshowFolder f;
        makeFolder(f);
        Run r = prepare(f, {"4/fresh.jpg", "4/missing.jpg"});
        QCOMPARE(r.prepared, 0);
        QCOMPARE(r.playRequests.size(), 0);
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden), QStringList{"previous.jpg"});

        const QString elsewhere = m_dir.filePath(QStringLiteral("elsewhere"));
        QVERIFY(writeFile(elsewhere + QStringLiteral("/keep.jpg"), "keep"));
        QVERIFY(QDir(work()).removeRecursively());
        QVERIFY(QFile::link(elsewhere, work()));
        QVERIFY(!photo(QStringLiteral("4/ok.jpg")).isEmpty());
        r = prepare(f, {"4/ok.jpg"});
        QCOMPARE(r.prepared, 0);
        QCOMPARE(QDir(elsewhere).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.jpg"});
        QVERIFY(QFile::remove(work()));
    }

    // Shout mode keeps the newest photos of every code, trimmed to the
    // maximum, and drops copies whose source has gone.
    void shoutModeTrimsAndFollowsSources()
    {
        Preferences::standard().setValue(QString::fromLatin1(keys::prefDoShoutMode), true);
        Preferences::standard().setValue(QString::fromLatin1(keys::prefMaxPhotosInLocalFolder), 2);
        // Created oldest first, with modification times in the same order.
        QVERIFY(!photo(QStringLiteral("A_1/old.jpg"), 32, 32, 90).isEmpty());
        QTest::qWait(20);
        QVERIFY(!photo(QStringLiteral("B/mid.jpg"), 32, 32, 80).isEmpty());
        QTest::qWait(20);
        QVERIFY(!photo(QStringLiteral("C/new.jpg"), 32, 32, 70).isEmpty());
        QVERIFY(writeFile(work() + QStringLiteral("/stray.jpg"), "not ours"));
        CustomerSlideshowFolder f;
        makeFolder(f);
        Run r = prepare(f, {"C/new.jpg", "B/mid.jpg", "A_1/old.jpg"});
        QCOMPARE(r.prepared, 2);
        QCOMPARE(r.playRequests.size(), 1);
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"B_mid_overlay.jpg", "C_new_overlay.jpg"}));

        // The newest source is deleted: its copy goes and the older one returns.
        QVERIFY(QFile::remove(day() + QStringLiteral("/C/new.jpg")));
        r = prepare(f, {"B/mid.jpg", "A_1/old.jpg"});
        QCOMPARE(r.prepared, 2);
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"A%5F1_old_overlay.jpg", "B_mid_overlay.jpg"}));
        // Copies are unframed and byte-identical.
        QFile a(day() + QStringLiteral("/B/mid.jpg")),
            b(work() + QStringLiteral("/B_mid_overlay.jpg"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    // A whole preparation through the default search (the bundled script):
    // a code never yields another code's photos.
    void preparationSearchesWithTheScript()
    {
        QVERIFY(!photo(QStringLiteral("12/a.jpg")).isEmpty());
        QVERIFY(!photo(QStringLiteral("123/b.jpg")).isEmpty());
        CustomerSlideshowFolder f;
        makeFolder(f, false);
        QSignalSpy done(&f, &CustomerSlideshowFolder::preparationFinished);
        f.startPreparation({{"searchPath", day()}, {"customerid", "12"}});
        QVERIFY(done.wait(20000));
        QCOMPARE(done.first().first().toInt(), 1);
        QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.jpg"});
    }
};

QTEST_MAIN(TestCustomerSlideshowFolder)
#include "tst_customerslideshowfolder.moc"
