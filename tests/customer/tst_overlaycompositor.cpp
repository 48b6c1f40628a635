#include "PhotoFixtures.h"

#include "customer/OverlayCompositor.h"

#include <QImageReader>

using namespace kivo;
using namespace kivo::test;

class TestOverlayCompositor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static bool near(const QString &image, QPoint at, QColor b)
    {
        const QColor a = QImage(image).pixelColor(at);
        return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 &&
               qAbs(a.blue() - b.blue()) < 40;
    }

private slots:
    // Where the photo is drawn on the overlay's canvas, and which overlay.
    void geometry()
    {
        auto drawn = [](QSize photo, QSize overlay) {
            const auto g = OverlayCompositor::computeGeometry(photo, overlay);
            return QRectF(g.origin, g.drawnSize);
        };
        QCOMPARE(drawn({3000, 2000}, {1800, 1200}), QRectF(0, 0, 1800, 1200));
        QCOMPARE(drawn({2000, 3000}, {1200, 1800}), QRectF(150, 225, 900, 1350));
        QCOMPARE(drawn({2000, 2000}, {1800, 1200}), QRectF(450, 150, 900, 900));
        QCOMPARE(drawn({4000, 1000}, {1800, 1200}), QRectF(-1500, 0, 4800, 1200));
        QCOMPARE(OverlayCompositor::overlayFileName({20, 30}), QString("Slideshow_PRT.png"));
        QCOMPARE(OverlayCompositor::overlayFileName({30, 30}), QString("Slideshow_LS.png"));
    }

    // A photo stored sideways with an orientation tag is a portrait: it is
    // drawn upright through the portrait overlay's window, the frame covers
    // the rest, and each call writes a private hidden result of its own.
    void framing()
    {
        QVERIFY(writeOverlay(path("Desktop/Slideshow_PRT.png"), 120, 180, Qt::blue));
        const QString photo = KIVO_TEST_DATA_DIR "/customer/sideways.jpg";
        OverlayCompositor c(path("Desktop"), m_dir.path());
        const QString a = c.applyOverlayToSourceItem(photo, "/nowhere/turned.jpg");
        const QString b = c.applyOverlayToSourceItem(photo);
        QVERIFY(!a.isEmpty() && a != b && !QFile::exists("/nowhere/turned.jpg"));
        QVERIFY(a.startsWith(m_dir.path() + "/.")); // hidden, in the result folder
        QCOMPARE(QFile::permissions(a) & (QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QCOMPARE(QImageReader(a).format(), QByteArray("jpeg"));
        QCOMPARE(QImageReader(a).size(), QSize(120, 180));
        QVERIFY(near(a, QPoint(60, 90), Qt::green) && near(a, QPoint(3, 3), Qt::blue));
    }

    // Without a usable overlay there is no result and nothing is
    // left behind; a replaced overlay is picked up at the next photo. The
    // framing decode tells a photo cut short, with an overlay or without.
    void overlayChanges()
    {
        QTemporaryDir overlays, results;
        const QString ls = overlays.filePath("Slideshow_LS.png");
        QVERIFY(writePhoto(path("land.jpg"), 300, 200));
        OverlayCompositor c(overlays.path(), results.path());
        QVERIFY(c.applyOverlayToSourceItem(path("land.jpg")).isEmpty());
        QVERIFY(writeFile(ls, "not a png"));
        QVERIFY(c.applyOverlayToSourceItem(path("land.jpg")).isEmpty());
        QVERIFY(writeOverlay(ls, 180, 120, Qt::red));
        QVERIFY(listing(results.path()).isEmpty());
        QVERIFY(near(c.applyOverlayToSourceItem(path("land.jpg")), QPoint(2, 2), Qt::red));
        QVERIFY(writeOverlay(ls, 240, 160, Qt::yellow));
        bool incomplete = true;
        const QString r = c.applyOverlayToSourceItem(path("land.jpg"), {}, nullptr, &incomplete);
        QCOMPARE(QImageReader(r).size(), QSize(240, 160));
        QVERIFY(near(r, QPoint(2, 2), Qt::yellow) && !incomplete);
        QVERIFY(writePhoto(path("cut.jpg"), 300, 200)); // cut in its coded data
        QVERIFY(QFile::resize(path("cut.jpg"), QFileInfo(path("cut.jpg")).size() - 200));
        const QStringList before = listing(results.path());
        QVERIFY(c.applyOverlayToSourceItem(path("cut.jpg"), {}, nullptr, &incomplete).isEmpty());
        QVERIFY(incomplete && listing(results.path()) == before);
        c.setOverlayFolder(m_dir.path());
        incomplete = false;
        QVERIFY(c.applyOverlayToSourceItem(path("cut.jpg"), {}, nullptr, &incomplete).isEmpty());
        QVERIFY(incomplete);
    }
};

QTEST_GUILESS_MAIN(TestOverlayCompositor)
#include "tst_overlaycompositor.moc"
