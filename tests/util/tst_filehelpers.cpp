#include "OutputCapture.h"
#include "TestSupport.h"
#include "util/FileHelpers.h"

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kivo;

namespace {

QByteArray encoded(const QImage &img, const char *format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter w(&buffer, format);
    w.setQuality(90);
    w.setProgressiveScanWrite(true);
    w.write(img);
    return buffer.data();
}

} // namespace

class TestFileHelpers : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { ::umask(022); }

    void imageValidity_data()
    {
        test::columns<QByteArray, bool>("bytes", "valid");
        // A photo-like image: noise makes JPEG's entropy-coded data dense, so
        // damage to it cannot hide in long runs of identical blocks.
        QImage noisy(640, 480, QImage::Format_RGB32);
        QRandomGenerator rng(42);
        for (int y = 0; y < noisy.height(); ++y)
            for (int x = 0; x < noisy.width(); ++x)
                noisy.setPixel(x, y, qRgb(x % 256, (y + rng.bounded(64)) % 256, rng.bounded(256)));
        // A tiny file whose decoded image is huge: a blank 1-bit PNG.
        QImage blank(11000, 11000, QImage::Format_Mono);
        blank.fill(0);
        const QByteArray good = encoded(noisy, "jpeg");
        QByteArray sparse = good; // still being copied: the rest zero-filled
        std::fill(sparse.begin() + sparse.size() / 2, sparse.end(), '\0');
        test::row("progressive JPEG", good, true);
        test::row("PNG", encoded(noisy, "png"), true);
        test::row("half a JPEG", good.left(good.size() / 2), false);
        test::row("half copied", sparse, false);
        test::row("JPEG header only", good.left(3), false);
        test::row("text", QByteArray("Table 12: sixteen guests, cake at nine.\n"), false);
        test::row("empty", QByteArray(), false);
        // 121 megapixels: refused even with Qt's own allocation limit lifted
        // (as a slide decoder for large photos might do) ...
        test::row("PNG bomb", encoded(blank, "png"), false);
        // ... while the same construction at a sane size decodes.
        test::row("small PNG", encoded(blank.copy(0, 0, 300, 200), "png"), true);
    }

    void imageValidity()
    {
        const auto [bytes, valid] = test::fetch<QByteArray, bool>("bytes", "valid");
        const int qtLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        auto restoreLimit = qScopeGuard([qtLimit] { QImageReader::setAllocationLimit(qtLimit); });
        // Decided by content: the name says JPEG whatever the file holds.
        QVERIFY(test::writeFile(path("photo.jpg"), bytes));
        OutputCapture quiet;
        QCOMPARE(IsValidImageObject(path("photo.jpg")), valid);
    }

    void nonFilesAreNotImages()
    {
        OutputCapture log;
        QVERIFY(!IsValidImageObject(path("missing.jpg")));
        QVERIFY(!IsValidImageObject(m_dir.path()));
        QVERIFY(::mkfifo(QFile::encodeName(path("pipe.jpg")).constData(), 0600) == 0);
        QVERIFY(!IsValidImageObject(path("pipe.jpg"))); // returns, does not block
        QVERIFY(!IsValidImageObject(QString()));
        QVERIFY(log.text().contains("NSLog IsValidImageObject => Passed a nil objectPath!!"));
    }

    void earlierThanCutoff()
    {
        // The log clean-up's test: strictly before, by modification time.
        const QString file = path("server.log");
        QVERIFY(test::writeFile(file, "x"));
        QCOMPARE(QProcess::execute("touch", {"-m", "-d", "@1339236900", file}), 0);
        const QDateTime mtime = QDateTime::fromSecsSinceEpoch(1339236900);
        QVERIFY(!itemIsEarlierThan(file, mtime, "NSFileModificationDate"));
        QVERIFY(itemIsEarlierThan(file, mtime.addSecs(1)));
        QVERIFY(!itemIsEarlierThan(path("gone.log"), mtime.addSecs(1)));
    }

    void createDirectories()
    {
        // A folder of ours is widened, its sticky bit kept.
        const QString existing = path("existing");
        QVERIFY(QDir().mkdir(existing));
        QVERIFY(::chmod(QFile::encodeName(existing).constData(), 01755) == 0);
        QVERIFY(createDirectoryIfMissing(existing));
        QCOMPARE(test::modeOf(existing), mode_t(S_IFDIR | S_ISVTX | 0777));

        QVERIFY(createDirectoryIfMissing("~/one/two/three"));
        for (const char *sub : {"/one", "/one/two", "/one/two/three"})
            QCOMPARE(test::modeOf(QDir::homePath() + sub), mode_t(S_IFDIR | 0777));

        QVERIFY(test::writeFile(path("plain"), "keep me"));
        QVERIFY(!createDirectoryIfMissing(path("plain")));
        QVERIFY(!createDirectoryIfMissing(path("plain/below")));
        QCOMPARE(test::readFile(path("plain")), QByteArray("keep me"));
    }

    void foreignFoldersKeepTheirMode()
    {
        const QByteArray home = QFile::encodeName(QDir::homePath());
        QVERIFY(::chmod(home.constData(), 0750) == 0);
        QVERIFY(createDirectoryIfMissing("~"));
        QVERIFY(createDirectoryIfMissing(QDir::homePath() + "/"));
        QCOMPARE(test::modeOf(QDir::homePath()) & 07777, mode_t(0750));

        QString foreign = "/usr/share";
        if (::geteuid() == 0) {
            foreign = path("foreign");
            QVERIFY(QDir().mkdir(foreign));
            QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0);
        }
        const mode_t before = test::modeOf(foreign);
        QVERIFY(createDirectoryIfMissing(foreign));
        QCOMPARE(test::modeOf(foreign), before);
    }
};

QTEST_GUILESS_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
