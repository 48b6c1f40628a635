#include "PhotoFixtures.h"
#include "TestSupport.h"

#include "customer/OverlayCompositor.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;
using namespace kivo::test;

class TestOverlayCompositor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString desk() const { return m_dir.filePath(QStringLiteral("Desktop")); }
    QString out() const { return m_dir.filePath(QStringLiteral("out")); }

    static QColor pixel(const QString &path, int x, int y) { return QImage(path).pixelColor(x, y); }
    static bool near(QColor a, QColor b)
    {
        return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 &&
               qAbs(a.blue() - b.blue()) < 40;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(out()));
        QVERIFY(writeOverlay(desk() + QStringLiteral("/Slideshow_LS.png"), 180, 120, Qt::red));
        QVERIFY(writeOverlay(desk() + QStringLiteral("/Slideshow_PRT.png"), 120, 180, Qt::blue));
    }

    void geometry_data()
    {
        QTest::addColumn<QSize>("photo");
        QTest::addColumn<QSize>("overlay");
        QTest::addColumn<QSizeF>("drawn");
        QTest::addColumn<QPointF>("origin");
        QTest::newRow("landscape fills")
            << QSize(3000, 2000) << QSize(1800, 1200) << QSizeF(1800, 1200) << QPointF(0, 0);
        QTest::newRow("portrait at three quarters")
            << QSize(2000, 3000) << QSize(1200, 1800) << QSizeF(900, 1350) << QPointF(150, 225);
        QTest::newRow("square") << QSize(2000, 2000) << QSize(1800, 1200) << QSizeF(900, 900)
                                << QPointF(450, 150);
        QTest::newRow("wider than the overlay overflows")
            << QSize(4000, 1000) << QSize(1800, 1200) << QSizeF(4800, 1200) << QPointF(-1500, 0);
    }

    void geometry()
    {
        QFETCH(QSize, photo);
        QFETCH(QSize, overlay);
        QFETCH(QSizeF, drawn);
        QFETCH(QPointF, origin);
        const auto g = OverlayCompositor::computeGeometry(photo, overlay);
        QCOMPARE(g.drawnSize, drawn);
        QCOMPARE(g.origin, origin);
    }

    void overlayChoice()
    {
        QCOMPARE(OverlayCompositor::overlayFileName(QSize(20, 30)),
                 QStringLiteral("Slideshow_PRT.png"));
        QCOMPARE(OverlayCompositor::overlayFileName(QSize(30, 30)),
                 QStringLiteral("Slideshow_LS.png"));
        QCOMPARE(OverlayCompositor::overlayFileName(QSize(30, 20)),
                 QStringLiteral("Slideshow_LS.png"));
    }

    // The photo shows through the overlay's window, the frame covers the rest,
    // and each call writes its own private result.
    void landscapeComposite()
    {
        const QString photo = m_dir.filePath(QStringLiteral("p/land.jpg"));
        QVERIFY(writeTaggedJpeg(photo, 300, 200, Qt::green));
        OverlayCompositor c(desk(), out());
        const QString a = c.applyOverlayToSourceItem(photo, QStringLiteral("/nowhere/land.jpg"));
        const QString b = c.applyOverlayToSourceItem(photo);
        QVERIFY(!a.isEmpty());
        QVERIFY(a != b);
        QCOMPARE(QFileInfo(a).absolutePath(), QDir(out()).absolutePath());
        QVERIFY(QFileInfo(a).fileName().startsWith(u'.'));
        QCOMPARE(QFile::permissions(a) & (QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QImageReader r(a);
        QCOMPARE(r.format(), QByteArray("jpeg"));
        QCOMPARE(r.size(), QSize(180, 120));
        QVERIFY(near(pixel(a, 90, 60), Qt::green));
        QVERIFY(near(pixel(a, 5, 5), Qt::red));
        QVERIFY(!QFile::exists(QStringLiteral("/nowhere/land.jpg")));
    }

    // A photo stored sideways with an orientation tag is a portrait: it gets
    // the portrait overlay and is drawn upright.
    void orientationTagDecidesPortrait()
    {
        const QString photo = m_dir.filePath(QStringLiteral("p/turned.jpg"));
        QVERIFY(writeTaggedJpeg(photo, 300, 200, Qt::green, 6));
        OverlayCompositor c(desk(), out());
        const QString r = c.applyOverlayToSourceItem(photo);
        QVERIFY(!r.isEmpty());
        QCOMPARE(QImageReader(r).size(), QSize(120, 180));
        QVERIFY(near(pixel(r, 60, 90), Qt::green));
        QVERIFY(near(pixel(r, 3, 3), Qt::blue));
    }

    void missingOrBrokenOverlay()
    {
        QTemporaryDir lsOnly;
        QVERIFY(writeOverlay(lsOnly.filePath(QStringLiteral("Slideshow_LS.png")), 180, 120));
        const QString portrait = m_dir.filePath(QStringLiteral("p/portrait.jpg"));
        const QString landscape = m_dir.filePath(QStringLiteral("p/land2.jpg"));
        QVERIFY(writeTaggedJpeg(portrait, 200, 300, Qt::green));
        QVERIFY(writeTaggedJpeg(landscape, 300, 200, Qt::green));
        const QString results = m_dir.filePath(QStringLiteral("results"));
        QVERIFY(QDir().mkpath(results));
        OverlayCompositor c(lsOnly.path(), results);
        QVERIFY(c.applyOverlayToSourceItem(portrait).isEmpty());
        QVERIFY(!c.applyOverlayToSourceItem(landscape).isEmpty());

        // An overlay that does not decode gives none and leaves nothing behind.
        QVERIFY(writeFile(lsOnly.filePath(QStringLiteral("Slideshow_PRT.png")), "not a png"));
        QVERIFY(c.applyOverlayToSourceItem(portrait).isEmpty());
        QCOMPARE(QDir(results).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void undecodablePhoto()
    {
        const QString bad = m_dir.filePath(QStringLiteral("p/bad.jpg"));
        QVERIFY(writeFile(bad, QByteArray("\xff\xd8\xff\xe0 garbage", 13)));
        OverlayCompositor c(desk(), out());
        QVERIFY(c.applyOverlayToSourceItem(bad).isEmpty());
        QVERIFY(c.applyOverlayToSourceItem(m_dir.filePath(QStringLiteral("p/none.jpg"))).isEmpty());
    }

    // A replaced overlay is picked up at the next photo.
    void changedOverlayIsReread()
    {
        QTemporaryDir d;
        const QString ls = d.filePath(QStringLiteral("Slideshow_LS.png"));
        QVERIFY(writeOverlay(ls, 180, 120, Qt::red));
        const QString photo = m_dir.filePath(QStringLiteral("p/land3.jpg"));
        QVERIFY(writeTaggedJpeg(photo, 300, 200, Qt::green));
        OverlayCompositor c(d.path(), out());
        QVERIFY(near(pixel(c.applyOverlayToSourceItem(photo), 2, 2), Qt::red));
        QVERIFY(writeOverlay(ls, 240, 160, Qt::yellow));
        const QString r = c.applyOverlayToSourceItem(photo);
        QCOMPARE(QImageReader(r).size(), QSize(240, 160));
        QVERIFY(near(pixel(r, 2, 2), Qt::yellow));
    }
};

QTEST_GUILESS_MAIN(TestOverlayCompositor)
#include "tst_overlaycompositor.moc"
