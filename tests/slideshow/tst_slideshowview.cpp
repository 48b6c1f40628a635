#include "slideshow/SlideshowView.h"
#include "util/SlideImageLoader.h"

#include <QPainter>
#include <QSignalSpy>
#include <QVariantAnimation>
#include <QtTest>

#include <thread>

using kivo::SlideImageLoader;
using kivo::SlideshowView;

namespace {

// A picture whose left half is one colour and right half another.
QImage halves(QSize size, QColor left, QColor right)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(right);
    QPainter p(&img);
    p.fillRect(0, 0, size.width() / 2, size.height(), left);
    return img;
}

QColor at(const QImage &img, int x, int y)
{
    return img.pixelColor(x, y);
}

bool near(QColor a, QColor b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QImage frame(const SlideshowView &view, qreal progress)
{
    QImage out(view.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    view.renderFrame(p, progress);
    return out;
}

} // namespace

class TestSlideshowView : public QObject
{
    Q_OBJECT
private:
    const QSize kViewSize{200, 100};
    std::unique_ptr<QWidget> window;
    SlideshowView *view = nullptr;

    // Shows an old slide (red | green) at once, then starts a swap to the new
    // one (yellow | blue) with the style, and holds the animation at its start.
    void startSwap(const QString &style)
    {
        view->updateSubviewsWithTransition("No Transition Effect");
        view->transitionToImage(halves(kViewSize, Qt::red, Qt::green));
        view->updateSubviewsWithTransition(style);
        view->transitionToImage(halves(kViewSize, Qt::yellow, Qt::blue));
        QVERIFY(view->isTransitionRunning());
        view->transitionAnimation()->pause();
        view->transitionAnimation()->setCurrentTime(0);
    }

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->resize(kViewSize);
        view = new SlideshowView(window.get());
        view->resizeSelfToParent();
        QCOMPARE(view->size(), kViewSize);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void fittingRectangles_data()
    {
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QRectF>("in");
        QTest::addColumn<QRectF>("expected");
        const QRectF hd(0, 0, 1920, 1080);
        QTest::newRow("portrait") << QSizeF(2000, 3000) << hd << QRectF(600, 0, 720, 1080);
        QTest::newRow("same proportions") << QSizeF(3840, 2160) << hd << hd;
        QTest::newRow("panorama") << QSizeF(4000, 1000) << hd << QRectF(0, 300, 1920, 480);
        QTest::newRow("origin is ignored")
            << QSizeF(3000, 2000) << QRectF(50, 70, 1920, 1080) << QRectF(150, 0, 1620, 1080);
        QTest::newRow("empty image") << QSizeF(0, 100) << hd << QRectF(0, 0, 0, 0);
        QTest::newRow("empty view") << QSizeF(10, 10) << QRectF() << QRectF(0, 0, 0, 0);
    }
    void fittingRectangles()
    {
        QFETCH(QSizeF, image);
        QFETCH(QRectF, in);
        QFETCH(QRectF, expected);
        QCOMPARE(SlideImageLoader::computeMaxRectForImage(image, in), expected);
    }

    void noTransitionSwapsAtOnceInAnyCase()
    {
        for (const QString style :
             {"No Transition Effect", "NO TRANSITION EFFECT", "no transition effect"}) {
            view->updateSubviewsWithTransition(style);
            QCOMPARE(view->transition(), SlideshowView::Transition::None);
            QSignalSpy finished(view, &SlideshowView::transitionFinished);
            view->transitionToImage(halves(kViewSize, Qt::red, Qt::red));
            view->transitionToImage(halves(kViewSize, Qt::blue, Qt::blue));
            QVERIFY(!view->isTransitionRunning());
            QCOMPARE(finished.count(), 2);
            QVERIFY(near(at(view->grab().toImage(), 100, 50), Qt::blue));
        }
    }

    // Halfway, each style shows a different half of each slide.
    void movingStylesHalfway_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QColor>("left");
        QTest::addColumn<QColor>("right");
        // The new slide pushes the old one to the right.
        QTest::newRow("push") << "push" << QColor(Qt::blue) << QColor(Qt::red);
        // The new slide slides over the old one, which stays.
        QTest::newRow("moveIn") << "moveIn" << QColor(Qt::blue) << QColor(Qt::green);
        // The old slide slides away to the right, uncovering the new one.
        QTest::newRow("reveal") << "reveal" << QColor(Qt::yellow) << QColor(Qt::red);
        // Both slides blend: red and yellow, green and blue.
        QTest::newRow("fade") << "fade" << QColor(255, 128, 0) << QColor(0, 128, 128);
    }
    void movingStylesHalfway()
    {
        QFETCH(QString, style);
        QFETCH(QColor, left);
        QFETCH(QColor, right);
        startSwap(style);
        QSignalSpy finished(view, &SlideshowView::transitionFinished);
        QImage img = view->grab().toImage();
        QVERIFY(near(at(img, 50, 50), Qt::red));
        QVERIFY(near(at(img, 150, 50), Qt::green));

        view->transitionAnimation()->setCurrentTime(SlideshowView::kTransitionMs / 2);
        img = view->grab().toImage();
        QVERIFY(near(at(img, 50, 50), left, 16));
        QVERIFY(near(at(img, 150, 50), right, 16));

        view->transitionAnimation()->setCurrentTime(SlideshowView::kTransitionMs);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!view->isTransitionRunning());
        img = view->grab().toImage();
        QVERIFY(near(at(img, 50, 50), Qt::yellow));
        QVERIFY(near(at(img, 150, 50), Qt::blue));
    }

    void letterboxIsTransparent()
    {
        view->updateSubviewsWithTransition("No Transition Effect");
        view->transitionToImage(halves(QSize(100, 100), Qt::red, Qt::red)); // 100 x 100 at x = 50
        const QImage img = frame(*view, 1.0);
        QCOMPARE(qAlpha(img.pixel(10, 50)), 0);
        QCOMPARE(qAlpha(img.pixel(190, 50)), 0);
        QVERIFY(near(at(img, 55, 50), Qt::red));
        QVERIFY(near(at(img, 145, 50), Qt::red));

        // A resized view fits the slide again.
        window->resize(400, 100);
        view->resizeSelfToParent();
        const QImage wide = frame(*view, 1.0);
        QCOMPARE(qAlpha(wide.pixel(140, 50)), 0);
        QVERIFY(near(at(wide, 160, 50), Qt::red));
    }

    void nullImageClearsTheView()
    {
        view->updateSubviewsWithTransition("No Transition Effect");
        view->transitionToImage(halves(kViewSize, Qt::red, Qt::red));
        QVERIFY(view->hasSlide());
        view->transitionToImage(QImage());
        QVERIFY(!view->hasSlide());
        QCOMPARE(qAlpha(frame(*view, 1.0).pixel(100, 50)), 0);

        // With a transition the slide leaves with it.
        view->transitionToImage(halves(kViewSize, Qt::red, Qt::red));
        view->updateSubviewsWithTransition("fade");
        view->transitionToImage(QImage());
        view->transitionAnimation()->pause();
        view->transitionAnimation()->setCurrentTime(0);
        QVERIFY(near(at(frame(*view, view->transitionProgress()), 100, 50), Qt::red));
        view->transitionAnimation()->setCurrentTime(SlideshowView::kTransitionMs);
        QCOMPARE(qAlpha(frame(*view, 1.0).pixel(100, 50)), 0);
    }

    void doHideFromAnotherThread()
    {
        view->updateSubviewsWithTransition("No Transition Effect");
        view->transitionToImage(halves(kViewSize, Qt::red, Qt::red));
        std::thread([v = view] { v->doHide(true); }).join();
        QTRY_VERIFY(view->isSlideHidden());
        QCOMPARE(qAlpha(frame(*view, 1.0).pixel(100, 50)), 0);
        std::thread([v = view] { v->doHide(false); }).join();
        QTRY_VERIFY(!view->isSlideHidden());
        QVERIFY(near(at(frame(*view, 1.0), 100, 50), Qt::red));

        // A hidden slide does not come back as the outgoing one of a swap.
        view->doHide(true);
        QTRY_VERIFY(view->isSlideHidden());
        view->updateSubviewsWithTransition("push");
        view->transitionToImage(halves(kViewSize, Qt::blue, Qt::blue));
        QVERIFY(!view->isSlideHidden());
        QCOMPARE(qAlpha(frame(*view, 0.5).pixel(150, 50)), 0);
    }
};

QTEST_MAIN(TestSlideshowView)
#include "tst_slideshowview.moc"
