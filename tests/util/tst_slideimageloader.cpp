#include "TestSupport.h"
#include "util/FileHelpers.h"
#include "util/SlideImageLoader.h"

#include <QImageWriter>
#include <QtTest>

using namespace kivo;

class TestSlideImageLoader : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void orientationTagIsAppliedAndSizeFits()
    {
        // A stored landscape picture, red left half and blue right half, tagged
        // with EXIF orientation 6: shown turned a quarter clockwise, red on top.
        QImage img(600, 400, QImage::Format_RGB32);
        img.fill(Qt::blue);
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 300; ++x)
                img.setPixel(x, y, qRgb(255, 0, 0));
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(QImageWriter(&buffer, "jpeg").write(img));
        const QByteArray app1("\xff\xe1\x00\x22"
                              "Exif\0\0MM\x00\x2a\x00\x00\x00\x08\x00\x01"
                              "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00",
                              36);
        QVERIFY(test::writeFile(path("rotated.jpg"), QByteArray(buffer.data()).insert(2, app1)));

        QString error;
        const QImage shown =
            SlideImageLoader::loadScaledToFit(path("rotated.jpg"), QSize(1920, 1080), &error);
        QVERIFY2(!shown.isNull(), qPrintable(error));
        // Upright it is 400 x 600: fitted to the height of 1920 x 1080.
        QCOMPARE(shown.size(), QSize(720, 1080));
        QCOMPARE(shown.format(), QImage::Format_RGB32);
        QVERIFY(qRed(shown.pixel(360, 100)) > 200 && qBlue(shown.pixel(360, 100)) < 60);
        QVERIFY(qBlue(shown.pixel(360, 980)) > 200 && qRed(shown.pixel(360, 980)) < 60);
    }

    void badFilesAreRefusedWithoutAllocating_data()
    {
        // bytes: null: no file
        test::columns<QByteArray, QString>("bytes", "error");
        QVERIFY(test::writeJpeg(path("whole.jpg"), 800, 600, Qt::darkGreen));
        const QByteArray whole = test::readFile(path("whole.jpg"));
        test::row("cut", whole.left(whole.size() / 2), "truncated file");
        test::row("missing", QByteArray(), "No such file");
        test::row("text", QByteArray("not a picture"), "");
        // Over the pixel cap: refused from the header alone.
        test::row("huge", QByteArray("P6\n20000 20000\n255\n\x01\x02\x03"), "too large");
        // Under the cap: a decode at that size is over the allocation limit.
        test::row("large", QByteArray("P6\n9000 9000\n255\n\x01\x02\x03"), "");
        // A progressive JPEG is held whole as coefficients: at 12000 x 12000
        // that is over the memory bound, refused from the header alone.
        QImage picture(800, 600, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QImageWriter writer(path("progressive.jpg"), "jpeg");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(picture));
        QByteArray progressive = test::readFile(path("progressive.jpg"));
        const qsizetype frame = progressive.indexOf("\xff\xc2");
        QVERIFY(frame > 0);
        test::row("progressive", progressive.replace(frame + 5, 4, "\x2e\xe0\x2e\xe0"), "memory");
    }

    void badFilesAreRefusedWithoutAllocating()
    {
        const auto [bytes, error] = test::fetch<QByteArray, QString>("bytes", "error");
        const QString file = path(QTest::currentDataTag());
        QVERIFY(bytes.isNull() || test::writeFile(file, bytes));
        QString why;
        QVERIFY(SlideImageLoader::loadScaledToFit(file, QSize(1920, 1080), &why).isNull());
        QVERIFY2(!why.isEmpty() && why.contains(error), qPrintable(why));
        QVERIFY(!IsValidImageObject(file));
        for (const char *good : {"whole.jpg", "progressive.jpg"}) {
            QVERIFY(!SlideImageLoader::loadScaledToFit(path(good), QSize(640, 480)).isNull());
            QVERIFY(IsValidImageObject(path(good)));
        }
    }
};

QTEST_GUILESS_MAIN(TestSlideImageLoader)
#include "tst_slideimageloader.moc"
