// What a display shows, on one offscreen screen: the slideshow view's
// transitions, display 0's window (shown, and playing), the background
// picture search and the window's drag rule.

#include "DisplayTestSupport.h"
#include "platform/AppPaths.h"
#include "slideshow/BackgroundPicture.h"
#include "slideshow/CaptionStrip.h"
#include "slideshow/SlideshowView.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <QVariantAnimation>

using namespace kivo;
using namespace kivo::test;

namespace {
// A picture whose left half is one colour and right half another.
QImage halves(QColor left, QColor right, QSize size = {200, 100})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(right);
    QPainter(&img).fillRect(0, 0, size.width() / 2, size.height(), left);
    return img;
}
} // namespace

class TestDisplayWindows : public QObject
{
    Q_OBJECT
    std::unique_ptr<QWidget> window;
    SlideshowView *view = nullptr;

    // Whether the view, painted over transparency at a transition progress,
    // shows these colours at x = 50 and x = 150 (transparent: alpha 0).
    bool paints(QColor left, QColor right, qreal progress = 1.0) const
    {
        QImage out(view->size(), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        view->renderFrame(p, progress);
        auto near = [](QColor a, QColor b) {
            return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) +
                       qAbs(a.blue() - b.blue()) + qAbs(a.alpha() - b.alpha()) <
                   40;
        };
        return near(out.pixelColor(50, 50), left) && near(out.pixelColor(150, 50), right);
    }
    void finishTransition() const
    {
        view->transitionAnimation()->setCurrentTime(SlideshowView::kTransitionMs);
    }

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->resize(200, 100);
        view = new SlideshowView(window.get());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        view->updateSubviewsWithTransition("No Transition Effect");
    }

    // From red | green to yellow | blue: halfway each style shows a different
    // half of each slide; no transition, in any letter case, swaps at once.
    void swaps_data()
    {
        test::columns<QString, QColor, QColor>("style", "left", "right");
        // The new slide pushes the old one to the right.
        QTest::newRow("push") << "push" << QColor(Qt::blue) << QColor(Qt::red);
        // The new slide slides over the old one, which stays.
        QTest::newRow("moveIn") << "moveIn" << QColor(Qt::blue) << QColor(Qt::green);
        // The old slide slides away to the right, uncovering the new one.
        QTest::newRow("reveal") << "reveal" << QColor(Qt::yellow) << QColor(Qt::red);
        // Both slides blend: red and yellow, green and blue.
        QTest::newRow("fade") << "fade" << QColor(255, 128, 0) << QColor(0, 128, 128);
        QTest::newRow("none") << "NO TRANSITION EFFECT" << QColor(Qt::yellow) << QColor(Qt::blue);
    }
    void swaps()
    {
        const auto [style, left, right] =
            test::fetch<QString, QColor, QColor>("style", "left", "right");
        view->transitionToImage(halves(Qt::red, Qt::green));
        view->updateSubviewsWithTransition(style);
        QSignalSpy finished(view, &SlideshowView::transitionFinished);
        view->transitionToImage(halves(Qt::yellow, Qt::blue));
        QCOMPARE(view->isTransitionRunning(), style != "NO TRANSITION EFFECT");
        QVERIFY(paints(left, right, 0.5));
        finishTransition();
        QCOMPARE(finished.count(), 1);
        QVERIFY(!view->isTransitionRunning() && paints(Qt::yellow, Qt::blue));
        QCOMPARE(view->grab().toImage().pixelColor(150, 50), QColor(Qt::blue));
    }

    // Painted as a window paints a transition frame, the backdrop fills what
    // no slide covers: nothing is left as it was, from a square slide to a
    // wide one, in each style, at each stage.
    void backdropOutsideSlides_data() { swaps_data(); }
    void backdropOutsideSlides()
    {
        const auto [style] = test::fetch<QString>("style");
        view->setBackdrop([](QPainter &p, const QRect &area) { p.fillRect(area, Qt::magenta); });
        view->transitionToImage(halves(Qt::red, Qt::green, {100, 100}));
        view->updateSubviewsWithTransition(style);
        view->transitionToImage(halves(Qt::yellow, Qt::blue));
        for (const qreal t : {0.0, 0.3, 0.7, 1.0}) {
            QImage out(view->size(), QImage::Format_RGB32);
            out.fill(Qt::cyan);
            QPainter p(&out);
            view->paintFrame(p, t, QRegion(out.rect()));
            p.end();
            for (int y = 0; y < out.height(); y += 3)
                for (int x = 0; x < out.width(); x += 3)
                    QVERIFY2(out.pixelColor(x, y) != QColor(Qt::cyan),
                             qPrintable(QString("%1 left at %2 %3").arg(t).arg(x).arg(y)));
        }
    }

    // A square slide is centred with transparent bars, and fitted again when
    // the view is resized.
    void letterbox()
    {
        view->transitionToImage(halves(Qt::red, Qt::green, {100, 100}));
        QVERIFY(paints(Qt::red, Qt::transparent));
        window->resize(300, 100);
        view->resizeSelfToParent();
        QVERIFY(paints(Qt::transparent, Qt::green));
    }

    // A hidden slide is not painted, and does not come back as the outgoing
    // slide of the next swap.
    void hiddenSlide()
    {
        view->transitionToImage(halves(Qt::red, Qt::red));
        view->doHide(true);
        QTRY_VERIFY(view->isSlideHidden() && paints(Qt::transparent, Qt::transparent));
        view->updateSubviewsWithTransition("push");
        view->transitionToImage(halves(Qt::blue, Qt::blue));
        QVERIFY(!view->isSlideHidden() && paints(Qt::blue, Qt::transparent, 0.5));
    }

    void singleScreenDisplayZeroPlays()
    {
        window.reset();
        resetPreferences({{"prefDoSlideShow1", true}, {"prefSlideShowDelay1", 0.2}});
        QTemporaryDir photos;
        writeJpeg(photos.path() + "/0412/a.jpg", 320, 240, Qt::red);
        DisplayManager displays;
        displays.setupWindowControllers();
        slideShowWindowController *d = displays.controller(0);
        QVERIFY(d->window()->isVisible());
        QSignalSpy shown(d, &slideShowWindowController::slideShown);
        play(0, photos.path() + "/0412");
        QVERIFY(shown.wait(5000));
    }

    // A shout-mode copy in the working folder is captioned with its photo's
    // name; any other photo with its own name, "_overlay" removed.
    void captions()
    {
        resetPreferences({{keys::prefDoShoutMode, true}, {keys::prefTempFolderPath, "/w"}});
        QCOMPARE(CaptionStrip::captionForPath("/w/A%5F1_old_overlay.jpg"), QString("old"));
        QCOMPARE(CaptionStrip::captionForPath("/d/A_1_old_overlay.jpg"), QString("A_1_old"));
        resetPreferences({{keys::prefTempFolderPath, "/w"}});
        QCOMPARE(CaptionStrip::captionForPath("/w/IMG_2_overlay.jpg"), QString("IMG_2"));
        // A name is shown as written, never as markup.
        QWidget window;
        CaptionStrip strip(&window);
        strip.setText("<font color=red size=7><b>YOU WON");
        QCOMPARE(strip.findChild<QLabel *>()->textFormat(), Qt::PlainText);
    }

    // Black with nothing; the bundle's BG.*, before it the background of the
    // parent's installation (LarkField by default; its preferences in the XDG
    // folder before the old one); before those a pattern
    // picture beside the main folder, in it, in ~/KivoSlideShow (folder order
    // beats extension order, a broken one is passed over).
    void backgroundSearchOrder()
    {
        resetPreferences({});
        QTemporaryDir prefix, main;
        const QString saved = AppPaths::prefix();
        AppPaths::setPrefix(prefix.path());
        const auto restore = qScopeGuard([&] { AppPaths::setPrefix(saved); });
        const QString res = prefix.path() + "/share/kivo-slideshow";
        const QString kivo = QDir::homePath() + "/KivoSlideShow";
        Preferences &prefs = Preferences::standard();
        prefs.setValue(keys::prefSlideShowPath, main.path() + "/Images");
        QDir().mkpath(main.path() + "/Images");
        QVERIFY(BackgroundPicture::findPath().isEmpty());
        // Adds a picture, then expects the search to find found.
        auto add = [](const QString &picture, const QString &found) {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::magenta);
            QVERIFY(QDir().mkpath(QFileInfo(picture).path()) && image.save(picture, "PNG"));
            QCOMPARE(BackgroundPicture::findPath(), found);
        };
        auto parentAccount = [](const char *account, const QString &folder) {
            const QVariantMap corvel{{"corvel/", QVariantMap{{"account", account}}}};
            return QDir().mkpath(folder) &&
                   writePropertyList(folder + "/parent.plist", QVariantMap{{"/", corvel}});
        };
        add(res + "/BG.png", res + "/BG.png");
        add(res + "/LarkFieldBG.png", res + "/LarkFieldBG.png");
        QVERIFY(parentAccount("Harbour", QDir::homePath() + "/Library/Preferences"));
        prefs.setValue(keys::prefParentAppPlistName, "parent.plist");
        add(res + "/BG.jpg", res + "/BG.jpg");
        QVERIFY(parentAccount(
            "LarkField",
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Kivo"));
        QCOMPARE(BackgroundPicture::findPath(), res + "/LarkFieldBG.png");

        prefs.setValue(keys::prefPatternImageBaseNames, QVariantList{"pattern", "other"});
        add(main.path() + "/pattern.jpg", main.path() + "/pattern.jpg");
        add(main.path() + "/Images/other.tiff", main.path() + "/Images/other.tiff");
        QVERIFY(writeFile(kivo + "/pattern.jpg", "broken"));
        add(kivo + "/pattern.png", kivo + "/pattern.png");
    }

    // The top edge stops at the primary screen's top; without fCanDragWindow
    // a drag does not move the window.
    void windowDrag()
    {
        borderlessWindow movable(QImage(), true), fixed(QImage(), false);
        movable.move(100, 100);
        movable.fInitialLocation = QPointF(10, 10);
        const int top = QGuiApplication::primaryScreen()->geometry().top();
        QCOMPARE(movable.dragOrigin(QPointF(300, 5)), QPoint(290, top));
        QCOMPARE(movable.dragOrigin(QPointF(300, 200)), QPoint(290, 190));
        fixed.setGeometry(100, 100, 50, 40);
        fixed.show();
        QTest::mousePress(&fixed, Qt::LeftButton, {}, QPoint(5, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(30, 30),
                         QPointF(fixed.mapToGlobal(QPoint(30, 30))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&fixed, &move);
        QCOMPARE(fixed.pos(), QPoint(100, 100));
    }
};

QTEST_MAIN(TestDisplayWindows)
#include "tst_displaywindows.moc"
