// The display controller on two offscreen screens: display 0 is hidden under
// the console, display 1 plays. Real folders of real JPEGs.

#include "DisplayTestSupport.h"
#include "platform/Preferences.h"
#include "slideshow/CaptionStrip.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/SlidePlayer.h"
#include "slideshow/SlideshowView.h"
#include "slideshow/borderlessWindow.h"
#include "slideshow/slideShowWindowController.h"
#include "slideshow/zoomedInNSImageView.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;
using namespace kivo::test;

class TestSlideShowWindowController : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<DisplayManager> mDisplays;

    QString folder(const QString &name, const QStringList &photos)
    {
        const QString f = mDir->path() + "/" + name;
        QDir().mkpath(f);
        int hue = 0;
        for (const QString &p : photos)
            writeJpeg(f + "/" + p, 640, 480, QColor::fromHsv((hue += 70) % 360, 200, 200));
        return f;
    }
    slideShowWindowController *display(int i) const { return mDisplays->controller(i); }

private slots:
    void init()
    {
        Preferences &prefs = Preferences::standard();
        for (const QString &key : prefs.userValues().keys())
            prefs.remove(key);
        prefs.setValues({{"prefDoSlideShow2", true},
                         {"prefDoSlideShow1", true},
                         {"prefSlideShowDelay2", 0.3},
                         {"prefNameOfDisplay2", "Room 2"},
                         {keys::prefAvailTransitionStyles,
                          QVariantList{"No Transition Effect", "fade", "moveIn", "push", "reveal"}},
                         {keys::prefTransitionStyle, "fade"}});
        mDir = std::make_unique<QTemporaryDir>();
        mDisplays = std::make_unique<DisplayManager>();
        mDisplays->setupWindowControllers();
        QCOMPARE(mDisplays->count(), 2);
    }
    void cleanup()
    {
        mDisplays.reset();
        mDir.reset();
    }

    void windowsCoverTheirScreens()
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        QCOMPARE(display(1)->window()->geometry(), screens.at(1)->availableGeometry());
        QVERIFY(display(1)->window()->isVisible());
        QVERIFY(display(1)->window()->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!display(0)->window()->isVisible());
        QCOMPARE(display(1)->slideView()->size(), screens.at(1)->availableGeometry().size());
        QCOMPARE(Preferences::standard().integer("prefNSScreenIndex2"), 2);

        // Caption follows the preference, on the visible display only.
        QVERIFY(!display(1)->captionStrip()->isVisible());
        Preferences::standard().setValue(keys::prefShowPhotoWithFilename, true);
        QTRY_VERIFY(display(1)->captionStrip()->isVisible());
        QVERIFY(!display(0)->captionStrip()->isVisible());
        const QRect strip = display(1)->captionStrip()->geometry();
        QCOMPARE(strip.bottom(), display(1)->window()->geometry().bottom());
        QCOMPARE(strip.width(), display(1)->window()->width());
        Preferences::standard().setValue(keys::prefShowPhotoWithFilename, false);
        QTRY_VERIFY(!display(1)->captionStrip()->isVisible());

        // Display 0 never plays with two screens, even with a full queue.
        const QString f = folder("0412", {"a.jpg"});
        post("SlideShowParamChanged", {{"screenIndex", 0}, {"sourcePath", f}});
        QVERIFY(display(0)->waitForQueueFilling(5000));
        QSignalSpy shown(display(0), &slideShowWindowController::slideShown);
        QTest::qWait(1500);
        QCOMPARE(shown.count(), 0);
    }

    void folderAssignmentStatus()
    {
        StatusRecorder status;
        const QString a = folder("0412", {"a.jpg", "b.jpg"});
        const QString b = folder("0413", {"c.jpg"});
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", a}});
        QCOMPARE(display(1)->sourcePath(), a);
        QCOMPARE(status.forScreen(1).size(), 1);
        QCOMPARE(status.forScreen(1).at(0), (QVariantMap{{"code", "0412"},
                                                         {"codeStatus", "0412 (Room 2)"},
                                                         {"screenIsPlaying", true},
                                                         {"screenIndex", 1}}));
        Preferences &prefs = Preferences::standard();
        QCOMPARE(prefs.string("prefSlideShowPath2"), a);
        QVERIFY(prefs.boolean("prefSlideShowPathAliasDataIsValid2"));
        QVERIFY(!prefs.data("prefSlideShowPathAliasData2").isEmpty());
        QVERIFY(display(1)->waitForQueueFilling(5000));
        QCOMPARE(display(1)->queue().entries().size(), 2);

        // Another folder: the queue empties at once, old code then new code.
        status.posts.clear();
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", b}});
        QVERIFY(!display(1)->queue().entries().contains(a + "/a.jpg"));
        QCOMPARE(status.forScreen(1).size(), 2);
        QCOMPARE(status.forScreen(1).at(0).value("codeStatus").toString(), QString("0412"));
        QCOMPARE(status.forScreen(1).at(0).value("screenIsPlaying").toBool(), false);
        QCOMPARE(status.forScreen(1).at(1).value("codeStatus").toString(),
                 QString("0413 (Room 2)"));
        QVERIFY(display(1)->waitForQueueFilling(5000));
        QCOMPARE(display(1)->queue().entries(), QStringList{b + "/c.jpg"});

        // Not for this display, a missing folder, no user info: nothing posted
        // by display 1, folder kept.
        status.posts.clear();
        post("SlideShowParamChanged", {{"screenIndex", 0}, {"sourcePath", a}});
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", a + "/nope"}});
        post("SlideShowParamChanged", {});
        QCOMPARE(display(1)->sourcePath(), b);
        QCOMPARE(status.forScreen(1).size(), 0);
        QCOMPARE(display(0)->sourcePath(), a);
        // A missing folder differing from the current one still empties the queue.
        QVERIFY(display(1)->queue().isEmpty());

        // The same folder again (any letter case) keeps the queue and its
        // position; a new photo goes in front.
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", b}});
        QVERIFY(display(1)->waitForQueueFilling(5000));
        writeJpeg(b + "/d.jpg", 64, 48);
        display(1)->queue().getNextObject();
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", b}});
        QVERIFY(display(1)->waitForQueueFilling(5000));
        QCOMPARE(display(1)->queue().entries(), (QStringList{b + "/d.jpg", b + "/c.jpg"}));

        // Without a display name the status is the code alone.
        Preferences::standard().setValue("prefNameOfDisplay2", "");
        status.posts.clear();
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", a}});
        QCOMPARE(status.forScreen(1).last().value("codeStatus").toString(), QString("0412"));
    }

    void statusRequests()
    {
        StatusRecorder status;
        post("RequestSlideShowStatus", {{"screenIndex", -1}});
        QCOMPARE(status.forScreen(0).size(), 1);
        QCOMPARE(status.forScreen(1).size(), 1);
        QCOMPARE(status.forScreen(1).at(0), (QVariantMap{{"mesg", kRunning}, {"screenIndex", 1}}));
        post("RequestSlideShowStatus", {{"screenIndex", 1}});
        post("RequestSlideShowStatus", {{"other", 1}});
        QCOMPARE(status.forScreen(0).size(), 1);
        QCOMPARE(status.forScreen(1).size(), 2);

        // An idle display started with nothing queued pauses itself.
        display(1)->startSequence();
        QTRY_COMPARE(status.countMesg(1, kNotRunning), 1);
        QVERIFY(display(1)->player().isSuspended());
    }

    // A played folder reaches the view: ring order, caption without
    // "_overlay", the plain view without a transition mode.
    void playsFolderInRingOrder()
    {
        StatusRecorder status;
        const QString f = folder("0500", {"a.jpg", "b.jpg", "0412_0003_overlay.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 6, 10000);
        QCOMPARE(status.countMesg(1, kRunning), 1);
        QStringList order;
        for (const auto &args : shown)
            order.append(QFileInfo(args.at(0).toString()).fileName());
        // Listed by name, each put in front: played last name first.
        QCOMPARE(order.mid(0, 3), (QStringList{"b.jpg", "a.jpg", "0412_0003_overlay.jpg"}));
        QCOMPARE(display(1)->captionStrip()->text(),
                 SlidePlayer::captionForPath(display(1)->player().currentSlidePath()));
        QCOMPARE(order.mid(3, 3), order.mid(0, 3));
        QCOMPARE(SlidePlayer::captionForPath(f + "/0412_0003_overlay.jpg"), QString("0412_0003"));
        const QImage shownImage = display(1)->zoomedInView()->image();
        QVERIFY(!shownImage.isNull());
        // Decoded at the size it is shown: 640x480 fitted into 1280x1024.
        QCOMPARE(shownImage.size(), QSize(1280, 960));
        QVERIFY(!display(1)->slideView()->hasSlide());

        // Pause: the chain stops once the delay ends, the view is cleared.
        post("SlideShowToggleShow", {{"screenIndex", 1}});
        QCOMPARE(status.countMesg(1, kNotRunning), 1);
        QTRY_VERIFY(!display(1)->player().isInsideLoop());
        QVERIFY(!display(1)->zoomedInView()->hasImage());
        const int paused = shown.count();
        QTest::qWait(800);
        QCOMPARE(shown.count(), paused);
        // Resume with a transition mode: slides go through the view.
        Preferences::standard().setValue(keys::prefUseTransitionMode, "transitionModeFixed");
        post("SlideShowToggleShow", {{"screenIndex", 0}}); // not for display 1
        QVERIFY(display(1)->player().isSuspended());
        post("SlideShowToggleShow", {{"screenIndex", 1}});
        QCOMPARE(status.countMesg(1, kRunning), 2);
        QTRY_VERIFY(shown.count() > paused);
        QTRY_VERIFY(display(1)->slideView()->hasSlide());
        QCOMPARE(display(1)->slideView()->transitionStyleName(), QString("fade"));

        Preferences::standard().setValue(keys::prefTransitionStyle, "push");
        post("SlideShowChangeTransitionStyle", {});
        QCOMPARE(display(1)->slideView()->transitionStyleName(), QString("push"));
    }

    // A deleted photo is skipped at once; an undecodable one costs its delay.
    void turnSkipRules()
    {
        Preferences::standard().setValue("prefSlideShowDelay2", 0.6);
        const QString f = folder("0600", {"x1.jpg", "x2.jpg", "x3.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        QElapsedTimer clock;
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QVERIFY(display(1)->waitForQueueFilling(900));
        // Queued; now x2 goes away and x1 turns into garbage.
        QVERIFY(QFile::remove(f + "/x2.jpg"));
        QVERIFY(writeFile(f + "/x1.jpg", QByteArray("\xff\xd8\xff\xe0garbage", 11)));
        QList<qint64> times;
        connect(display(1), &slideShowWindowController::slideShown, this,
                [&](const QString &) { times.append(clock.elapsed()); });
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(times.size() >= 3, 10000);
        for (const auto &args : shown)
            QCOMPARE(QFileInfo(args.at(0).toString()).fileName(), QString("x3.jpg"));
        // x3 (0.6) + x2 skipped (0) + x1 undecodable (0.6) between two x3.
        const qint64 period = (times.at(2) - times.at(0)) / 2;
        QVERIFY2(period >= 1000 && period < 1700, qPrintable(QString::number(period)));

        // The folder disappears: the chain ends.
        QVERIFY(QDir(f).removeRecursively());
        QTRY_VERIFY_WITH_TIMEOUT(!display(1)->player().isInsideLoop(), 3000);
        const int count = shown.count();
        QTest::qWait(1500);
        QCOMPARE(shown.count(), count);
    }

    // A customer's folder is played when its first photo is in place and
    // again when it is complete: the second request must not push the start
    // of the first back.
    void repeatedPlayRequestKeepsTheFirstStart()
    {
        const QString f = folder("0700", {"a.jpg"});
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        QElapsedTimer clock;
        clock.start();
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QTest::qWait(600);
        QCOMPARE(shown.count(), 0);
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QVERIFY(shown.wait(3000));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }

    // Only complete images are queued; everything else is passed over.
    void badInputIsSkipped()
    {
        const QString f = folder("0800", {"good.jpg"});
        QVERIFY(writeFile(f + "/empty.jpg", {}));
        QVERIFY(writeFile(f + "/notes.jpg", "not a photo"));
        QFile good(f + "/good.jpg");
        QVERIFY(good.open(QIODevice::ReadOnly));
        const QByteArray bytes = good.readAll();
        QVERIFY(writeFile(f + "/half.jpg", bytes.left(bytes.size() / 2)));
        // A PNG whose header claims 100 000 x 100 000 pixels.
        QByteArray bomb("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0",
                        29);
        QVERIFY(writeFile(f + "/bomb.png", bomb + QByteArray(4, '\0')));
        QVERIFY(QFile::link(f, f + "/loop"));
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QVERIFY(display(1)->waitForQueueFilling(5000));
        QCOMPARE(display(1)->queue().entries(), QStringList{f + "/good.jpg"});
        QVERIFY(shown.wait(5000));
    }

    // A folder that takes longer than the auto-start second to validate
    // still starts playing once its photos are queued.
    void slowFillStillStarts()
    {
        const QString f = mDir->path() + "/slow";
        QDir().mkpath(f);
        // Noisy content, so each photo takes a while to validate.
        QImage noisy(4000, 3000, QImage::Format_RGB32);
        QRandomGenerator rng(7);
        for (int y = 0; y < noisy.height(); ++y)
            rng.fillRange(reinterpret_cast<quint32 *>(noisy.scanLine(y)), noisy.width());
        QVERIFY(noisy.save(f + "/p0.jpg", "JPEG", 90));
        for (int i = 1; i < 24; ++i)
            QVERIFY(QFile::copy(f + "/p0.jpg", f + QString("/p%1.jpg").arg(i)));
        QList<qsizetype> queuedAtStatus;
        ObserverToken token = NotificationCenter::defaultCenter().addObserver(
            "SlideShowStatus", [&](const Notification &n) {
                if (n.userInfo.contains("mesg") && n.userInfo.value("screenIndex").toInt() == 1)
                    queuedAtStatus.append(display(1)->queue().entries().size());
            });
        QSignalSpy shown(display(1), &slideShowWindowController::slideShown);
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QVERIFY(shown.wait(60000));
        QCOMPARE(queuedAtStatus, QList<qsizetype>{24});
        QVERIFY(!display(1)->player().isSuspended());
    }

    // Shutdown abandons a running fill of many photos and returns quickly.
    void releaseStopsWorkersQuickly()
    {
        QStringList names;
        for (int i = 0; i < 80; ++i)
            names.append(QString("p%1.jpg").arg(i));
        const QString f = mDir->path() + "/big";
        QDir().mkpath(f);
        for (const QString &n : names)
            writeJpeg(f + "/" + n, 2400, 1600, Qt::darkGreen);
        post("SlideShowParamChanged", {{"screenIndex", 1}, {"sourcePath", f}});
        QTest::qWait(100);
        QElapsedTimer t;
        t.start();
        mDisplays->releaseDisplayControllers();
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    }
};

int main(int argc, char **argv)
{
    useOffscreenScreens({QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)});
    QApplication app(argc, argv);
    TestSlideShowWindowController tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_slideshowwindowcontroller.moc"
