#include "TestSupport.h"
#include "util/SlideImageLoader.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QThreadPool>
#include <QtEndian>
#include <QtTest>

using kivo::SlideImageLoader;

namespace {

QByteArray bigEndian32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char *type, const QByteArray &payload)
{
    const QByteArray body = QByteArray(type) + payload;
    return bigEndian32(quint32(payload.size())) + body + bigEndian32(crc32(body));
}

// A PNG whose header claims the given size; its pixel data is a few bytes.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray ihdr = bigEndian32(width) + bigEndian32(height);
    ihdr += QByteArray("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA
    QByteArray idat = qCompress(QByteArray(64, '\0')).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat) +
           pngChunk("IEND", {});
}

// A JPEG of a stored landscape picture, red left half and blue right half,
// tagged with EXIF orientation 6 (shown turned a quarter clockwise: red on top).
QByteArray jpegWithOrientation6(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::blue);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x)
            img.setPixel(x, y, qRgb(255, 0, 0));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(img);
    QByteArray jpeg = buffer.data();

    // TIFF header (big-endian), one IFD entry: Orientation (0x0112), SHORT, 1, value 6.
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08", 8);
    tiff += QByteArray("\x00\x01", 2);
    tiff += QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00", 12);
    tiff += QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xff\xe1", 2);
    app1 += char((payload.size() + 2) >> 8);
    app1 += char((payload.size() + 2) & 0xff);
    app1 += payload;
    jpeg.insert(2, app1); // right after the start-of-image marker
    return jpeg;
}

} // namespace

class TestSlideImageLoader : public QObject
{
    Q_OBJECT
private:
    QString dir() const { return QDir::tempPath(); }

private slots:
    void orientationTagIsAppliedAndSizeFits()
    {
        const QString path = dir() + "/rotated.jpg";
        QVERIFY(kivo::test::writeFile(path, jpegWithOrientation6(600, 400)));
        QString error;
        const QImage img = SlideImageLoader::loadScaledToFit(path, QSize(1920, 1080), &error);
        QVERIFY2(!img.isNull(), qPrintable(error));
        // Upright it is 400 x 600: fitted to the height of 1920 x 1080.
        QCOMPARE(img.size(), QSize(720, 1080));
        QVERIFY(img.format() == QImage::Format_RGB32);
        QVERIFY(qRed(img.pixel(360, 100)) > 200 && qBlue(img.pixel(360, 100)) < 60);
        QVERIFY(qBlue(img.pixel(360, 980)) > 200 && qRed(img.pixel(360, 980)) < 60);
    }

    void badFilesAreRefusedWithoutAllocating()
    {
        const QString whole = dir() + "/whole.jpg";
        QVERIFY(kivo::test::writeJpeg(whole, 800, 600, Qt::darkGreen));
        QVERIFY(!SlideImageLoader::loadScaledToFit(whole, QSize(640, 480)).isNull());

        QFile f(whole);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const QString cut = dir() + "/cut.jpg";
        QVERIFY(kivo::test::writeFile(cut, bytes.left(bytes.size() / 2)));
        QString error;
        QVERIFY(SlideImageLoader::loadScaledToFit(cut, QSize(640, 480), &error).isNull());
        QVERIFY(!error.isEmpty());

        // Over the pixel cap: refused from the header alone.
        const QString bomb = dir() + "/bomb.png";
        QVERIFY(kivo::test::writeFile(bomb, pngClaiming(60000, 60000)));
        QVERIFY(SlideImageLoader::loadScaledToFit(bomb, QSize(1920, 1080), &error).isNull());
        QVERIFY2(error.contains("too large"), qPrintable(error));

        // Under the pixel cap: read row by row at the reduced size, refused for its
        // missing pixel data.
        const QString wide = dir() + "/wide.png";
        QVERIFY(kivo::test::writeFile(wide, pngClaiming(9000, 9000)));
        QVERIFY(SlideImageLoader::loadScaledToFit(wide, QSize(1920, 1080), &error).isNull());

        QVERIFY(SlideImageLoader::loadScaledToFit(dir() + "/missing.jpg", QSize(10, 10)).isNull());
        const QString text = dir() + "/notes.jpg";
        QVERIFY(kivo::test::writeFile(text, "not a picture"));
        QVERIFY(SlideImageLoader::loadScaledToFit(text, QSize(10, 10), &error).isNull());
    }

    void asyncResultReachesTheContextOrIsDropped()
    {
        const QString path = dir() + "/async.jpg";
        QVERIFY(kivo::test::writeJpeg(path, 640, 480, Qt::red));
        QThreadPool pool;

        QObject context;
        QImage delivered;
        QThread *deliveredOn = nullptr;
        SlideImageLoader::loadAsync(&pool, path, QSize(320, 240), &context,
                                    [&](const QImage &img, const QString &) {
                                        delivered = img;
                                        deliveredOn = QThread::currentThread();
                                    });
        QTRY_VERIFY(!delivered.isNull());
        QCOMPARE(delivered.size(), QSize(320, 240));
        QCOMPARE(deliveredOn, QThread::currentThread());

        // A context gone before the result arrives: nothing is delivered.
        bool called = false;
        auto *gone = new QObject;
        SlideImageLoader::loadAsync(&pool, path, QSize(320, 240), gone,
                                    [&](const QImage &, const QString &) { called = true; });
        delete gone;
        pool.waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestSlideImageLoader)
#include "tst_slideimageloader.moc"
