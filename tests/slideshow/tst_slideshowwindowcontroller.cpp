// The display controller on two offscreen screens: display 0 is hidden under
// the console, display 1 plays. Real folders of real JPEGs.

#include "DisplayTestSupport.h"
#include "OutputCapture.h"
#include "slideshow/CaptionStrip.h"
#include "slideshow/DisplayNameField.h"
#include "slideshow/FolderAssignment.h"
#include "slideshow/SlidePlayer.h"
#include "slideshow/SlideshowView.h"
#include "slideshow/zoomedInNSImageView.h"
#include "station/DisplayOutputs.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivo;
using namespace kivo::test;

class TestSlideShowWindowController : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DisplayManager> m_displays;

    slideShowWindowController *display(int i) const { return m_displays->controller(i); }
    SlidePlayer &player(int i) const { return display(i)->player(); }
    bool filled(int i) const { return !display(i)->folderAssignment().isFilling(); }

private slots:
    void init()
    {
        m_displays.reset();
        resetPreferences({{"prefDoSlideShow2", true},
                          {"prefDoSlideShow1", true},
                          {"prefSlideShowDelay2", 0.3},
                          {"prefNameOfDisplay2", "Room 2"},
                          {keys::prefAvailTransitionStyles, QVariantList{"push"}},
                          {keys::prefTransitionStyle, "fade"}});
        m_dir = std::make_unique<QTemporaryDir>();
        m_displays = std::make_unique<DisplayManager>();
        m_displays->setupWindowControllers();
        QCOMPARE(m_displays->count(), 2);
    }

    // Display 0 stays hidden under the console and never plays; the caption
    // follows the preference on the visible display; status requests reach
    // the displays they address; a display started with nothing queued
    // pauses itself.
    void displaysAndStatus()
    {
        Preferences::standard().setValue(keys::prefShowPhotoWithFilename, true);
        QTRY_VERIFY(display(1)->captionStrip()->isVisible());
        QVERIFY(!display(0)->captionStrip()->isVisible());
        Preferences::standard().setValue(keys::prefShowPhotoWithFilename, false);
        QTRY_VERIFY(!display(1)->captionStrip()->isVisible());

        StatusRecorder status;
        post("RequestSlideShowStatus", {{"screenIndex", 1}});
        display(1)->startSequence();
        QTRY_COMPARE(status.values(1, "mesg"), QStringList({kRunning, kNotRunning}));
        QVERIFY(status.values(0, "mesg").isEmpty());

        play(0, photoFolder(m_dir->path() + "/0412", {"a.jpg"}));
        QTRY_VERIFY_WITH_TIMEOUT(filled(0), 5000);
        QSignalSpy shown(display(0), &slideShowWindowController::slideShown);
        QVERIFY(!shown.wait(1500));
    }

    // Displays pinned to monitors by name, the others on the remaining
    // screens in order. Lists are comma-separated; missing: "number:name".
    void pinnedOutputs_data()
    {
        columns<QString, QString, QString, QString, int>("pins", "screens", "assigned", "missing",
                                                         "customer");
        auto r = [](const char *name, QString pins, QString screens, QString assigned,
                    QString missing,
                    int customer) { row(name, pins, screens, assigned, missing, customer); };
        r("unpinned", "", "L,R", "0,1", "", 1);
        r("one screen, unpinned", "", "L", "0", "", 0);
        r("swapped", "R,L", "L,R", "1,0", "", 1);
        r("customer's monitor missing", "R,L", "R", "0,-1", "2:L", 1);
        r("console's monitor missing", "R", "L", "-1", "1:R", 0);
        r("unpinned take the rest in order", ",,L", "L,M,R", "1,2,0", "", 1);
        r("pinned past the screens", ",,,X", "L,R", "0,1,-1,-1", "4:X", 1);
        r("a monitor named twice", "R,R", "L,R", "1,0", "", 1);
    }
    void pinnedOutputs()
    {
        const auto [pins, screens, assigned, missing, customer] =
            fetch<QString, QString, QString, QString, int>("pins", "screens", "assigned", "missing",
                                                           "customer");
        const QStringList p = pins.split(','), s = screens.split(',');
        QStringList got, gone;
        for (int at : DisplayOutputs::assignScreens(p, s))
            got << QString::number(at);
        const QMap<int, QString> m = DisplayOutputs::missingOutputs(p, s);
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            gone << QString::number(it.key() + 1) + ":" + it.value();
        QCOMPARE(got.join(','), assigned);
        QCOMPARE(gone.join(','), missing);
        QCOMPARE(DisplayOutputs::customerDisplayIndex(p, int(s.size())), customer);
    }

    // A pin moves the display's window at once; while its monitor is missing
    // the display is hidden, reported and logged once; back, it shows again.
    void pinnedDisplayFollowsItsMonitor()
    {
        Preferences &prefs = Preferences::standard();
        prefs.setValues({{"prefDisplayOutput1", "S1"}, {"prefDisplayOutput2", "S0"}});
        QTRY_COMPARE(display(1)->window()->geometry().topLeft(), QPoint(0, 0));
        QCOMPARE(display(0)->screen()->name(), QString("S1"));
        OutputCapture log;
        for (const char *key : {"prefDisplayOutput2", "prefDisplayOutput5"})
            prefs.setValue(key, "GONE"); // the second is a duplicate, ignored
        QTRY_VERIFY(!display(1)->window()->isVisible());
        QCOMPARE(m_displays->missingPinnedOutputs(), (QMap<int, QString>{{1, "GONE"}}));
        QCOMPARE(log.text().count("[GONE]: monitor missing"), 1);
        prefs.setValue("prefDisplayOutput2", "S0");
        QTRY_VERIFY(display(1)->window()->isVisible());
        QVERIFY(m_displays->missingPinnedOutputs().isEmpty());
    }

    // Next Slide turns the display it names, every display with -1 or none.
    void nextSlideTurnsTheNamedDisplay_data()
    {
        test::columns<QVariantMap, QList<bool>>("request", "turned");
        test::row("display 1", QVariantMap{{"screenIndex", 1}}, QList<bool>{false, true});
        test::row("display 0", QVariantMap{{"screenIndex", 0}}, QList<bool>{true, false});
        test::row("every display", QVariantMap{{"screenIndex", -1}}, QList<bool>{true, true});
    }
    void nextSlideTurnsTheNamedDisplay()
    {
        const auto [request, turned] = test::fetch<QVariantMap, QList<bool>>("request", "turned");
        Preferences::standard().setValue("prefSlideShowDelay2", 60);
        const QString f = photoFolder(m_dir->path() + "/1000", {"a.jpg", "b.jpg", "c.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        play(0, f);
        play(1, f);
        QVERIFY(shown.wait(5000));
        QTRY_VERIFY_WITH_TIMEOUT(filled(0), 5000);
        const qsizetype before[] = {display(0)->queue().curIndex(), display(1)->queue().curIndex()};
        post("SlideShowToggleTest", request);
        for (int i : {0, 1})
            QCOMPARE(display(i)->queue().curIndex() != before[i], turned.at(i));
    }

    // The window's name field and the display's name preference follow each
    // other; it is read-only until double-clicked, and Return ends the edit.
    void nameFieldFollowsThePreference()
    {
        DisplayNameField *field = display(1)->nameField();
        QCOMPARE(field->text(), QString("Room 2"));
        Preferences::standard().setValue("prefNameOfDisplay2", "Hall");
        QTRY_COMPARE(field->text(), QString("Hall"));
        QVERIFY(field->isReadOnly());
        QTest::mouseDClick(field, Qt::LeftButton);
        QTest::keyClicks(field, "Stage"); // over the selected name
        QCOMPARE(Preferences::standard().string("prefNameOfDisplay2"), QString("Stage"));
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(field->isReadOnly());
    }

    void folderAssignmentStatus()
    {
        StatusRecorder status;
        const QString a = photoFolder(m_dir->path() + "/0412", {"a.jpg", "b.jpg"});
        const QString b = photoFolder(m_dir->path() + "/0413", {"c.jpg"});
        play(1, a);
        Preferences &prefs = Preferences::standard();
        QCOMPARE(prefs.string("prefSlideShowPath2"), a);
        QVERIFY(prefs.boolean("prefSlideShowPathAliasDataIsValid2") &&
                !prefs.data("prefSlideShowPathAliasData2").isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(filled(1), 5000);
        QCOMPARE(display(1)->queue().entries().size(), 2);

        // Another folder: the queue empties at once; old code, then new code.
        play(1, b);
        QVERIFY(!display(1)->queue().entries().contains(a + "/a.jpg"));
        QCOMPARE(status.values(1, "codeStatus"),
                 QStringList({"0412 (Room 2)", "0412", "0413 (Room 2)"}));
        QCOMPARE(status.values(1, "screenIsPlaying"), QStringList({"true", "false", "true"}));

        // A missing folder differing from the current one empties the queue;
        // neither it, nor a request for display 0, nor one without user info
        // changes display 1's folder or makes it post.
        QTRY_VERIFY_WITH_TIMEOUT(filled(1), 5000);
        const uint64_t generation = display(1)->queue().generation();
        play(1, a + "/nope");
        QVERIFY(display(1)->queue().generation() != generation);
        play(0, a);
        post("SlideShowParamChanged", {});
        QCOMPARE(display(1)->sourcePath(), b);
        QCOMPARE(status.values(1, "code"), QStringList({"0412", "0412", "0413"}));

        // Without a display name the status is the code alone.
        prefs.setValue("prefNameOfDisplay2", "");
        play(1, a);
        QCOMPARE(status.values(1, "codeStatus").last(), QString("0412"));

        // After a relaunch the display takes its folder up again, found
        // again under its new name.
        QVERIFY(QDir().rename(a, m_dir->filePath("0412b")));
        m_displays.reset();
        m_displays = std::make_unique<DisplayManager>();
        m_displays->setupWindowControllers();
        display(1)->startSequence();
        QTRY_COMPARE(display(1)->sourcePath(), m_dir->filePath("0412b"));
    }

    // A played folder reaches the view in ring order, captioned without
    // "_overlay", decoded at the size it is shown; only complete photos are
    // queued. Pausing stops the chain and clears the view; resuming with a
    // transition mode (random: an available style) goes through the
    // transition view.
    void playsFolderInRingOrder()
    {
        StatusRecorder status;
        const QString f =
            photoFolder(m_dir->path() + "/0500", {"a.jpg", "b.jpg", "0412_0003_overlay.jpg"});
        const QByteArray jpeg = readFile(f + "/a.jpg");
        QVERIFY(writeFile(f + "/half.jpg", jpeg.left(jpeg.size() / 2)));
        QVERIFY(writeFile(f + "/empty.jpg", {}) && QFile::link(f, f + "/loop"));
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        play(1, f);
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 6, 10000);
        QStringList order;
        for (const auto &args : shown)
            order.append(QFileInfo(args.at(0).toString()).fileName());
        // Listed by name, each put in front: played last name first.
        QCOMPARE(order.mid(0, 6), QStringList({"b.jpg", "a.jpg", "0412_0003_overlay.jpg", "b.jpg",
                                               "a.jpg", "0412_0003_overlay.jpg"}));
        QCOMPARE(status.values(1, "mesg"), QStringList{kRunning});
        QCOMPARE(display(1)->captionStrip()->text(),
                 SlidePlayer::captionForPath(player(1).currentSlidePath()));
        // Without a transition mode the plain view shows it, at 1280 x 960.
        QCOMPARE(display(1)->zoomedInView()->image().size(), QSize(1280, 960));

        post("SlideShowToggleShow", {{"screenIndex", 1}});
        QCOMPARE(status.values(1, "mesg").last(), kNotRunning);
        QTRY_VERIFY(!player(1).isInsideLoop());
        QVERIFY(!display(1)->zoomedInView()->hasImage());
        QVERIFY(!shown.wait(800));
        Preferences::standard().setValue(keys::prefUseTransitionMode, "transitionModeRandom");
        post("SlideShowToggleShow", {{"screenIndex", 0}});
        QVERIFY(player(1).isSuspended());
        post("SlideShowToggleShow", {{"screenIndex", 1}});
        QCOMPARE(status.values(1, "mesg").last(), kRunning);
        QTRY_VERIFY(display(1)->slideView()->hasSlide());
        QCOMPARE(display(1)->slideView()->transitionStyleName(), QString("push"));
        Preferences::standard().setValue(keys::prefTransitionStyle, "moveIn");
        post("SlideShowChangeTransitionStyle", {});
        QCOMPARE(display(1)->slideView()->transitionStyleName(), QString("moveIn"));
    }

    // A deleted photo is skipped at once, an undecodable one costs its delay;
    // the chain ends when the folder goes, rather than turning over missing
    // photos.
    void turnSkipRules()
    {
        Preferences::standard().setValue("prefSlideShowDelay2", 0.6);
        const QString f = photoFolder(m_dir->path() + "/0600", {"x1.jpg", "x2.jpg", "x3.jpg"});
        play(1, f);
        QTRY_VERIFY_WITH_TIMEOUT(filled(1), 900);
        QVERIFY(QFile::remove(f + "/x2.jpg"));
        QVERIFY(writeFile(f + "/x1.jpg", QByteArray("\xff\xd8\xff\xe0garbage", 11)));
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        QVERIFY(shown.wait(5000));
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 3, 10000);
        // Two rounds of x3 (0.6) + x2 skipped (0) + x1 undecodable (0.6).
        QVERIFY2(clock.elapsed() >= 2000 && clock.elapsed() < 3400,
                 qPrintable(QString::number(clock.elapsed())));
        for (const auto &args : shown)
            QCOMPARE(QFileInfo(args.at(0).toString()).fileName(), QString("x3.jpg"));
        OutputCapture log;
        QVERIFY(QDir(f).removeRecursively());
        QTRY_VERIFY_WITH_TIMEOUT(!player(1).isInsideLoop(), 5000);
        QVERIFY(!log.text().contains("INVALID"));
    }

    // Photos that vanish while their folder plays (deleted, or moved to
    // another code) leave the display idle, logging a few lines instead of
    // spinning; it resumes by itself when photos come back.
    void vanishedPhotosIdleThenResume()
    {
        Preferences::standard().setValue("prefSlideShowDelay2", 0);
        const QString f = photoFolder(m_dir->path() + "/0800", {"a.jpg", "b.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        play(1, f);
        QVERIFY(shown.wait(5000));
        OutputCapture log;
        QVERIFY(QFile::remove(f + "/a.jpg") && QFile::remove(f + "/b.jpg"));
        QTest::qWait(1000);
        const qsizetype lines = log.text().count('\n');
        QVERIFY2(lines < 15, qPrintable(QString::number(lines)));
        photoFolder(f, {"c.jpg"});
        QTRY_COMPARE_WITH_TIMEOUT(player(1).currentSlidePath(), f + "/c.jpg", 10000);
    }

    // A played folder left without photos (emptied for the next customer)
    // takes the slide off the screen at once; a photo filed later plays on
    // the next request without waiting out the delay.
    void emptiedFolderShowsTheBackground()
    {
        Preferences::standard().setValue("prefSlideShowDelay2", 60);
        const QString f = photoFolder(m_dir->path() + "/slideshowA", {"a.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        play(1, f);
        QVERIFY(shown.wait(5000));
        QVERIFY(QFile::remove(f + "/a.jpg"));
        play(1, f);
        const auto showing = [this] {
            return display(1)->slideView()->hasSlide() || display(1)->zoomedInView()->hasImage();
        };
        QVERIFY(showing());
        QTRY_VERIFY_WITH_TIMEOUT(player(1).currentSlidePath().isEmpty(), 1000);
        QVERIFY(!showing());
        photoFolder(f, {"b.jpg"});
        play(1, f);
        QTRY_COMPARE_WITH_TIMEOUT(player(1).currentSlidePath(), f + "/b.jpg", 5000);
    }

    // The next customer's photos replace the last one's in the same folder:
    // the names that are gone leave the queue, and the queue's log lines
    // list its first entries and a count.
    void refillDropsPhotosThatAreGone()
    {
        Preferences::standard().setValue("prefSlideShowDelay2", 60);
        const QString f = photoFolder(m_dir->path() + "/slideshowA", {"old1.jpg", "old2.jpg"});
        play(1, f);
        QTRY_VERIFY_WITH_TIMEOUT(filled(1), 5000);
        QVERIFY(QFile::remove(f + "/old1.jpg") && QFile::remove(f + "/old2.jpg"));
        for (int i = 10; i < 22; ++i)
            photoFolder(f, {QString("new%1.jpg").arg(i)});
        OutputCapture log;
        play(1, f);
        QTRY_VERIFY_WITH_TIMEOUT(filled(1), 5000);
        QCOMPARE(display(1)->queue().entries().size(), 12);
        QVERIFY(log.text().contains("/new17.jpg, ... 12 entries)"));
    }

    // A slide whose read never returns is given up after the bound and the
    // display moves on; the stuck load returns once the read does.
    void hungReadIsGivenUp()
    {
        Preferences::standard().setValue("prefSlideShowDelay2", 0);
        const QString f = photoFolder(m_dir->path() + "/0900", {"a.jpg", "b.jpg"});
        player(1).decoder().setTimeoutMs(500);
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        play(1, f);
        QVERIFY(shown.wait(5000));
        // A pipe without a writer: opening it blocks.
        const QByteArray pipe = QFile::encodeName(f + "/b.jpg");
        QVERIFY(QFile::remove(pipe) && ::mkfifo(pipe.constData(), 0600) == 0);
        OutputCapture log;
        shown.clear();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 3 && player(1).decoder().stuckCount() == 1, 5000);
        QVERIFY(log.text().contains("b.jpg] gave no answer in 500 ms, given up"));
        ::close(::open(pipe.constData(), O_WRONLY | O_NONBLOCK));
        QTRY_COMPARE(player(1).decoder().stuckCount(), 0);
    }

    // A customer's folder is played when its first photo is in place and
    // again when it is complete: the display starts once the photo is queued,
    // before the auto-start's second, and the second request does not push
    // the start back.
    void repeatedPlayRequestKeepsTheFirstStart()
    {
        const QString f = photoFolder(m_dir->path() + "/0700", {"a.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        QElapsedTimer clock;
        clock.start();
        play(1, f);
        play(1, f);
        QVERIFY(shown.wait(3000));
        QVERIFY2(clock.elapsed() < FolderAssignment::kAutoStartMs,
                 qPrintable(QString::number(clock.elapsed())));
    }

    // A folder read twice that takes longer than the auto-start second to
    // validate starts playing once, when all its photos are queued. Shutdown
    // during a fill neither waits for it nor leaves it running.
    void slowFillStartsOnceAndStopsAtShutdown()
    {
        const QString f = photoFolder(m_dir->path() + "/slow", {});
        QImage noisy(4000, 3000, QImage::Format_RGB32);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noisy.bits()), 4000 * 3000);
        QVERIFY(noisy.save(f + "/p0.jpg", "JPEG", 90));
        for (int i = 1; i < 24; ++i)
            QVERIFY(QFile::copy(f + "/p0.jpg", f + QString("/p%1.jpg").arg(i)));
        StatusRecorder status;
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        play(1, f);
        play(1, f);
        QVERIFY(shown.wait(60000));
        QCOMPARE(status.values(1, "mesg"), QStringList{kRunning});

        play(1, f);
        QVERIFY(display(1)->folderAssignment().isFilling());
        QElapsedTimer clock;
        clock.start();
        m_displays.reset();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }
};

// Two screens, set up before the application starts.
static const bool twoScreens = qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KIVO_SOURCE_DIR
                                                          "/tests/slideshow/two-screens.json");
QTEST_MAIN(TestSlideShowWindowController)
#include "tst_slideshowwindowcontroller.moc"
