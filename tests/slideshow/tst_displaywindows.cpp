// One offscreen screen: display 0's window is shown and plays. The
// background picture search and the window's drag rule.

#include "DisplayTestSupport.h"
#include "platform/AppPaths.h"
#include "platform/Preferences.h"
#include "slideshow/BackgroundPicture.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/borderlessWindow.h"
#include "slideshow/slideShowWindowController.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;
using namespace kivo::test;

namespace {
bool writePng(const QString &path, QColor color)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(color);
    return img.save(path, "PNG");
}
} // namespace

class TestDisplayWindows : public QObject
{
    Q_OBJECT
    QString mSavedPrefix;
    std::unique_ptr<QTemporaryDir> mPrefix;

    QString resources() const { return mPrefix->path() + "/share/kivo-slideshow"; }

private slots:
    void init()
    {
        Preferences &prefs = Preferences::standard();
        for (const QString &key : prefs.userValues().keys())
            prefs.remove(key);
        mSavedPrefix = AppPaths::prefix();
        mPrefix = std::make_unique<QTemporaryDir>();
        QDir().mkpath(resources());
        AppPaths::setPrefix(mPrefix->path());
    }
    void cleanup()
    {
        AppPaths::setPrefix(mSavedPrefix);
        QDir(QDir::homePath() + "/KivoSlideShow").removeRecursively();
        QDir(QDir::homePath() + "/Library").removeRecursively();
    }

    void singleScreenDisplayZeroPlays()
    {
        Preferences &prefs = Preferences::standard();
        prefs.setValues({{"prefDoSlideShow1", true}, {"prefSlideShowDelay1", 0.2}});
        QTemporaryDir photos;
        writeJpeg(photos.path() + "/0412/a.jpg", 320, 240, Qt::red);
        DisplayManager displays;
        displays.setupWindowControllers();
        QCOMPARE(displays.count(), 1);
        slideShowWindowController *d = displays.controller(0);
        QVERIFY(d->window()->isVisible());
        QCOMPARE(d->window()->geometry(), QGuiApplication::primaryScreen()->availableGeometry());
        QSignalSpy shown(d, &slideShowWindowController::slideShown);
        post("SlideShowParamChanged",
             {{"screenIndex", 0}, {"sourcePath", photos.path() + "/0412"}});
        QVERIFY(shown.wait(5000));
        // The slide is on screen: the window's centre is red.
        const QImage frame = d->window()->grab().toImage();
        const QColor centre = frame.pixelColor(frame.rect().center());
        QVERIFY2(centre.red() > 200 && centre.green() < 60, qPrintable(centre.name()));
    }

    void backgroundSearchOrder()
    {
        Preferences &prefs = Preferences::standard();
        QTemporaryDir main;
        prefs.setValue(keys::prefSlideShowPath, main.path() + "/Images");
        QDir().mkpath(main.path() + "/Images");
        // Nothing anywhere: black.
        QVERIFY(BackgroundPicture::findPath().isEmpty());
        QVERIFY(writePng(resources() + "/BG.png", Qt::gray));
        QCOMPARE(BackgroundPicture::findPath(), resources() + "/BG.png");
        QVERIFY(writePng(resources() + "/LarkFieldBG.png", Qt::green));
        QCOMPARE(BackgroundPicture::findPath(), resources() + "/LarkFieldBG.png");

        // The parent's installation name picks the bundle's BG.* first.
        QDir().mkpath(QDir::homePath() + "/Library/Preferences");
        QVariantMap corvel{{"account", "Harbour"}};
        QVERIFY(writePropertyList(QDir::homePath() + "/Library/Preferences/parent.plist",
                                  QVariantMap{{"/", QVariantMap{{"corvel/", corvel}}}}));
        prefs.setValue(keys::prefParentAppPlistName, "parent.plist");
        QVERIFY(writePng(resources() + "/BG.jpg", Qt::blue));
        QCOMPARE(BackgroundPicture::findPath(), resources() + "/BG.jpg");
        corvel["account"] = "LarkField";
        QVERIFY(writePropertyList(QDir::homePath() + "/Library/Preferences/parent.plist",
                                  QVariantMap{{"/", QVariantMap{{"corvel/", corvel}}}}));
        QCOMPARE(BackgroundPicture::findPath(), resources() + "/LarkFieldBG.png");

        // Pattern pictures: beside the main folder, in it, in ~/KivoSlideShow;
        // folder order beats extension order; a broken picture is passed over.
        prefs.setValue(keys::prefPatternImageBaseNames, QVariantList{"pattern", "other"});
        QVERIFY(writePng(main.path() + "/pattern.jpg", Qt::yellow));
        QCOMPARE(BackgroundPicture::findPath(), main.path() + "/pattern.jpg");
        QVERIFY(writePng(main.path() + "/Images/other.tiff", Qt::cyan));
        QCOMPARE(BackgroundPicture::findPath(), main.path() + "/Images/other.tiff");
        QVERIFY(writeFile(QDir::homePath() + "/KivoSlideShow/pattern.jpg", "broken"));
        QVERIFY(writePng(QDir::homePath() + "/KivoSlideShow/pattern.png", Qt::magenta));
        QCOMPARE(BackgroundPicture::findPath(), QDir::homePath() + "/KivoSlideShow/pattern.png");
        QCOMPARE(BackgroundPicture::load(prefs).pixelColor(0, 0), QColor(Qt::magenta));
    }

    void windowBackgroundAndDrag()
    {
        QImage tile(4, 4, QImage::Format_RGB32);
        tile.fill(Qt::magenta);
        borderlessWindow patterned(tile, false);
        patterned.resize(50, 40);
        QCOMPARE(patterned.grab().toImage().pixelColor(45, 35), QColor(Qt::magenta));
        borderlessWindow plain(QImage(), true);
        plain.resize(50, 40);
        QCOMPARE(plain.grab().toImage().pixelColor(10, 10), QColor(Qt::black));

        // The top edge stops at the primary screen's top.
        const int top = QGuiApplication::primaryScreen()->geometry().top();
        plain.move(100, 100);
        plain.fInitialLocation = QPointF(10, 10);
        QCOMPARE(plain.dragOrigin(QPointF(300, 5)), QPoint(290, top));
        QCOMPARE(plain.dragOrigin(QPointF(300, 200)), QPoint(290, 190));

        // Without fCanDragWindow a drag does not move it.
        patterned.move(100, 100);
        patterned.show();
        QTest::mousePress(&patterned, Qt::LeftButton, {}, QPoint(5, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(30, 30),
                         QPointF(patterned.mapToGlobal(QPoint(30, 30))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&patterned, &move);
        QCOMPARE(patterned.pos(), QPoint(100, 100));
    }
};

QTEST_MAIN(TestDisplayWindows)
#include "tst_displaywindows.moc"
