#include "OutputCapture.h"
#include "TestSupport.h"
#include "platform/Trash.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivo;

namespace {

// A photo-like JPEG: noise makes the entropy-coded data dense, so damage to it
// cannot hide in long runs of identical blocks.
bool writeNoisyImage(const QString &path, const char *format, bool progressive = false)
{
    QImage img(640, 480, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = qRgb(x % 256, (y + int(rng.bounded(64))) % 256, int(rng.bounded(256)));
    }
    QImageWriter w(path, format);
    w.setQuality(90);
    w.setProgressiveScanWrite(progressive);
    return w.write(img);
}

// A tiny file whose decoded image is huge: a blank 1-bit PNG compresses to almost nothing.
bool writeBlankPng(const QString &path, int width, int height)
{
    QImage img(width, height, QImage::Format_Mono);
    img.fill(0);
    return img.save(path, "png");
}

mode_t modeOf(const QString &path)
{
    struct stat st
    {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode;
}

} // namespace

class TestFileHelpers : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ::umask(022);
    }

    void validJpegsPass()
    {
        QVERIFY(writeNoisyImage(path("good.jpg"), "jpeg", true));
        QVERIFY(IsValidImageObject(path("good.jpg")));
        // Decided by content: a JPEG under another name still passes.
        QVERIFY(QFile::copy(path("good.jpg"), path("photo.png")));
        QVERIFY(IsValidImageObject(path("photo.png")));
    }

    void damagedJpegsFail()
    {
        const QByteArray good = kivo::test::readFile(path("good.jpg"));
        QVERIFY(good.size() > 10000);

        QVERIFY(test::writeFile(path("half.jpg"), good.left(good.size() / 2)));
        QVERIFY(!IsValidImageObject(path("half.jpg")));

        // A file still being copied: the first half written, the rest zero-filled.
        QByteArray sparse = good;
        std::fill(sparse.begin() + sparse.size() / 2, sparse.end(), '\0');
        QVERIFY(test::writeFile(path("sparse.jpg"), sparse));
        QVERIFY(!IsValidImageObject(path("sparse.jpg")));

        QVERIFY(test::writeFile(path("header.jpg"), good.left(3)));
        QVERIFY(!IsValidImageObject(path("header.jpg")));
    }

    void nonImagesFail()
    {
        QVERIFY(test::writeFile(path("notes.jpg"), "Table 12: sixteen guests, cake at nine.\n"));
        QVERIFY(test::writeFile(path("empty.jpg"), QByteArray()));
        {
            OutputCapture log;
            QVERIFY(!IsValidImageObject(path("notes.jpg")));
            QVERIFY(!IsValidImageObject(path("empty.jpg")));
            QVERIFY(!IsValidImageObject(path("missing.jpg")));
            QVERIFY(!IsValidImageObject(m_dir.path()));
            QVERIFY(::mkfifo(QFile::encodeName(path("pipe.jpg")).constData(), 0600) == 0);
            QVERIFY(!IsValidImageObject(path("pipe.jpg"))); // returns, does not block
        }
        OutputCapture log;
        QVERIFY(!IsValidImageObject(QString()));
        QVERIFY(log.text().contains("NSLog IsValidImageObject => Passed a nil objectPath!!"));
    }

    void otherFormats()
    {
        QVERIFY(writeNoisyImage(path("good.png"), "png"));
        QVERIFY(IsValidImageObject(path("good.png")));
        // 121 megapixels, with Qt's own allocation limit lifted (as a slide decoder
        // for large photos might do): our own cap still refuses it.
        const int qtLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        auto restoreLimit = qScopeGuard([qtLimit] { QImageReader::setAllocationLimit(qtLimit); });
        QVERIFY(writeBlankPng(path("bomb2.png"), 11000, 11000));
        QVERIFY(!IsValidImageObject(path("bomb2.png")));
        // The same construction at a sane size decodes, so the bomb is a valid file.
        QVERIFY(writeBlankPng(path("small.png"), 300, 200));
        QVERIFY(IsValidImageObject(path("small.png")));
    }

    void earlierThanCutoff()
    {
        const QString file = path("server.log");
        QVERIFY(test::writeFile(file, "x"));
        const QDateTime mtime = QDateTime::fromSecsSinceEpoch(1339236900); // whole second
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
        f.close();

        QVERIFY(!itemIsEarlierThan(file, mtime, QStringLiteral("NSFileModificationDate")));
        QVERIFY(
            itemIsEarlierThan(file, mtime.addSecs(1), QStringLiteral("NSFileModificationDate")));

        // The file was born now: by creation date it is not earlier than an hour ago.
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(itemIsEarlierThan(file, hourAgo));
        struct statx sx
        {};
        ::statx(AT_FDCWD, QFile::encodeName(file).constData(), 0, STATX_BTIME, &sx);
        if (sx.stx_mask & STATX_BTIME)
            QVERIFY(!itemIsEarlierThan(file, hourAgo, QStringLiteral("nsfilecreationdate")));
        else
            QVERIFY(itemIsEarlierThan(file, hourAgo, QStringLiteral("NSFileCreationDate")));

        QVERIFY(!itemIsEarlierThan(path("gone.log"), hourAgo));
    }

    void permissionBits()
    {
        const QString dir = path("sticky");
        QVERIFY(QDir().mkdir(dir));
        QVERIFY(::chmod(QFile::encodeName(dir).constData(), 01755) == 0);
        QVERIFY(setPermission(dir, 0777));
        QCOMPARE(modeOf(dir), mode_t(S_IFDIR | S_ISVTX | 0777));
        // Only the nine permission bits of the argument count.
        QVERIFY(setPermission(dir, 07700));
        QCOMPARE(modeOf(dir), mode_t(S_IFDIR | S_ISVTX | 0700));
    }

    void createDirectories()
    {
        const QString existing = path("existing");
        QVERIFY(QDir().mkdir(existing));
        QVERIFY(::chmod(QFile::encodeName(existing).constData(), 0755) == 0);
        QVERIFY(createDirectoryIfMissing(existing));
        QCOMPARE(modeOf(existing) & 07777, mode_t(0777));

        QVERIFY(createDirectoryIfMissing(QStringLiteral("~/one/two/three")));
        for (const char *sub : {"/one", "/one/two", "/one/two/three"}) {
            const QString dir = QDir::homePath() + QLatin1String(sub);
            QVERIFY2(QFileInfo(dir).isDir(), qPrintable(dir));
            QCOMPARE(modeOf(dir) & 07777, mode_t(0777));
        }

        QVERIFY(test::writeFile(path("plain"), "keep me"));
        QVERIFY(!createDirectoryIfMissing(path("plain")));
        QVERIFY(!createDirectoryIfMissing(path("plain/below")));
        QCOMPARE(kivo::test::readFile(path("plain")), QByteArray("keep me"));
    }

    void foreignFoldersKeepTheirMode()
    {
        const QByteArray home = QFile::encodeName(QDir::homePath());
        QVERIFY(::chmod(home.constData(), 0750) == 0);
        QVERIFY(createDirectoryIfMissing(QStringLiteral("~")));
        QVERIFY(createDirectoryIfMissing(QDir::homePath() + "/"));
        QCOMPARE(modeOf(QDir::homePath()) & 07777, mode_t(0750));

        QString foreign;
        if (::geteuid() == 0) {
            foreign = path("foreign");
            QVERIFY(QDir().mkdir(foreign));
            QVERIFY(::chmod(QFile::encodeName(foreign).constData(), 0755) == 0);
            QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0);
        } else {
            foreign = QStringLiteral("/usr/share");
        }
        const mode_t before = modeOf(foreign);
        QVERIFY(createDirectoryIfMissing(foreign));
        QCOMPARE(modeOf(foreign), before);
    }

    void trashMovesAndLogs()
    {
        const QString file = path("a.log");
        QVERIFY(test::writeFile(file, "old log"));
        moveFileToUserTrash(file);
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(kivo::test::readFile(Trash::trashFolder() + "/files/a.log"),
                 QByteArray("old log"));
    }
};

QTEST_GUILESS_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
