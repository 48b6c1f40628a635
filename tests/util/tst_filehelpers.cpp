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
#include <QtEndian>
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

quint32 crc32(const QByteArray &data)
{
    static quint32 table[256];
    static bool ready = false;
    if (!ready) {
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data)
        c = table[(c ^ uchar(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray body = QByteArray(type) + data;
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    out += body;
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(body), crc.data());
    return out + crc;
}

// Deflate bit writer (fixed Huffman codes only).
struct BitWriter
{
    QByteArray bytes;
    quint32 acc = 0;
    int count = 0;
    void bits(quint32 value, int n)
    {
        acc |= value << count;
        count += n;
        while (count >= 8) {
            bytes.append(char(acc & 0xFF));
            acc >>= 8;
            count -= 8;
        }
    }
    void code(quint32 value, int n) // Huffman codes go most significant bit first
    {
        quint32 reversed = 0;
        for (int i = 0; i < n; ++i)
            reversed |= ((value >> i) & 1u) << (n - 1 - i);
        bits(reversed, n);
    }
    void flush()
    {
        if (count > 0)
            bytes.append(char(acc & 0xFF));
        acc = 0;
        count = 0;
    }
};

// A valid, small-on-disk PNG (1-bit grey, all black) whose decoded image is
// huge: the zlib stream is one literal zero and then back-references of 258.
QByteArray pngBomb(quint32 width, quint32 height)
{
    const qint64 total = qint64(height) * (1 + (width + 7) / 8);
    BitWriter w;
    w.bits(1, 1);    // final block
    w.bits(1, 2);    // fixed Huffman codes
    w.code(0x30, 8); // literal 0
    qint64 left = total - 1;
    for (; left >= 258; left -= 258) {
        w.code(0xC5, 8); // length 258
        w.code(0, 5);    // distance 1
    }
    for (; left > 0; --left)
        w.code(0x30, 8);
    w.code(0, 7); // end of block
    w.flush();
    QByteArray zlib("\x78\x01", 2);
    zlib += w.bytes;
    QByteArray adler(4, '\0');
    qToBigEndian(quint32(((total % 65521) << 16) | 1), adler.data());
    zlib += adler;

    QByteArray ihdr(13, '\0');
    qToBigEndian(width, ihdr.data());
    qToBigEndian(height, ihdr.data() + 4);
    ihdr[8] = 1; // bit depth; colour type 0 (grey), no interlace
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", zlib) +
           pngChunk("IEND", QByteArray());
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
        QVERIFY(writeNoisyImage(path("good.jpg"), "jpeg"));
        QVERIFY(IsValidImageObject(path("good.jpg")));
        QVERIFY(writeNoisyImage(path("progressive.jpg"), "jpeg", true));
        QVERIFY(IsValidImageObject(path("progressive.jpg")));
        QVERIFY(test::writeJpeg(path("grey.jpg"), 33, 17, Qt::gray));
        QVERIFY(IsValidImageObject(path("grey.jpg")));
        // Decided by content: a JPEG under another name still passes.
        QVERIFY(QFile::copy(path("good.jpg"), path("photo.png")));
        QVERIFY(IsValidImageObject(path("photo.png")));
    }

    void damagedJpegsFail()
    {
        const QByteArray good = kivo::test::readFile(path("good.jpg"));
        const QByteArray progressive = kivo::test::readFile(path("progressive.jpg"));
        QVERIFY(good.size() > 10000);

        QVERIFY(test::writeFile(path("half.jpg"), good.left(good.size() / 2)));
        QVERIFY(!IsValidImageObject(path("half.jpg")));
        QVERIFY(test::writeFile(path("nearly.jpg"), good.left(good.size() - 200)));
        QVERIFY(!IsValidImageObject(path("nearly.jpg")));
        QVERIFY(test::writeFile(path("halfprog.jpg"), progressive.left(progressive.size() / 2)));
        QVERIFY(!IsValidImageObject(path("halfprog.jpg")));

        QByteArray corrupt = good;
        QRandomGenerator rng(7);
        for (qsizetype i = corrupt.size() / 2; i < corrupt.size() / 2 + 64; ++i)
            corrupt[i] = char(rng.bounded(256));
        QVERIFY(test::writeFile(path("corrupt.jpg"), corrupt));
        QVERIFY(!IsValidImageObject(path("corrupt.jpg")));

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
            QVERIFY(log.text().contains("NSLog IsValidImageObject => NOT a valid image at [" +
                                        path("notes.jpg").toUtf8() + "]?????"));
        }
        OutputCapture log;
        QVERIFY(!IsValidImageObject(QString()));
        QVERIFY(log.text().contains("NSLog IsValidImageObject => Passed a nil objectPath!!"));
    }

    void otherFormats()
    {
        QVERIFY(writeNoisyImage(path("good.png"), "png"));
        QVERIFY(IsValidImageObject(path("good.png")));
        const QByteArray png = kivo::test::readFile(path("good.png"));
        QVERIFY(test::writeFile(path("half.png"), png.left(png.size() / 2)));
        QVERIFY(!IsValidImageObject(path("half.png")));

        // 30000 x 30000 pixels in under a megabyte: refused before decoding.
        const QByteArray bomb = pngBomb(30000, 30000);
        QVERIFY(bomb.size() < 1'000'000);
        QVERIFY(test::writeFile(path("bomb.png"), bomb));
        QCOMPARE(QImageReader(path("bomb.png")).size(), QSize(30000, 30000));
        QVERIFY(!IsValidImageObject(path("bomb.png")));
        // 121 megapixels, with Qt's own allocation limit lifted (as a slide decoder
        // for large photos might do): our own cap still refuses it.
        const int qtLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(0);
        auto restoreLimit = qScopeGuard([qtLimit] { QImageReader::setAllocationLimit(qtLimit); });
        QVERIFY(test::writeFile(path("bomb2.png"), pngBomb(11000, 11000)));
        QVERIFY(!IsValidImageObject(path("bomb2.png")));
        // The same construction at a sane size decodes, so the bomb is a valid file.
        QVERIFY(test::writeFile(path("small.png"), pngBomb(300, 200)));
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
        QVERIFY(!itemIsEarlierThan(file, mtime.addSecs(-1)));
        QVERIFY(
            itemIsEarlierThan(file, mtime.addSecs(1), QStringLiteral("NSFileModificationDate")));
        QVERIFY(itemIsEarlierThan(file, mtime.addMSecs(1)));

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

        OutputCapture log;
        QVERIFY(!itemIsEarlierThan(path("gone.log"), hourAgo));
        QVERIFY(log.text().contains("itemIsEarlierThan -> file may NOT exist anymore?????"));
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

        OutputCapture out(STDOUT_FILENO);
        QVERIFY(!setPermissionInC(QFile::encodeName(path("nothing")).constData(), 0777));
        QVERIFY(out.text().contains("setPermission => Unable to get info on itemPath = ["));
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

        OutputCapture log;
        moveFileToUserTrash(path("never-there.log"));
        QVERIFY(log.text().contains("moveFileToUserTrash => item [" +
                                    path("never-there.log").toUtf8() + "] is NOT deletable..."));
    }
};

QTEST_GUILESS_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
