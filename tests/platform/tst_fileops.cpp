#include "TestSupport.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace kivo;

namespace {

dev_t deviceOf(const QString &path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(0);
}

struct stat statOf(const QString &path)
{
    struct stat st
    {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QByteArray bigContent()
{
    QByteArray data;
    for (int i = 0; i < 300000; ++i)
        data += QByteArray::number(qint64(i) * 7919) + ',';
    return data; // a few megabytes, more than one copy chunk
}

} // namespace

class TestFileOps : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<QTemporaryDir> m_other; // on another file system, when there is one

    QString p(const QString &name) const { return m_dir.filePath(name); }

    void needOtherFileSystem()
    {
        if (!m_other)
            QSKIP("no second file system (tmpfs) available for cross-device moves");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *candidate : {"/dev/shm", "/run/user", "/run", "/tmp"}) {
            const QString base = QString::fromLatin1(candidate);
            if (!QFileInfo(base).isDir() || !QFileInfo(base).isWritable() ||
                deviceOf(base) == deviceOf(m_dir.path()))
                continue;
            auto dir = std::make_unique<QTemporaryDir>(base + "/kivo-fileops-XXXXXX");
            if (dir->isValid()) {
                m_other = std::move(dir);
                break;
            }
        }
    }

    void sameFileSystemMoves()
    {
        QVERIFY(test::writeFile(p("a.jpg"), "photo"));
        QVERIFY(QDir().mkdir(p("dest")));
        QString error;
        QVERIFY(FileOps::moveNoReplace(p("a.jpg"), p("dest/a.jpg"), &error));
        QCOMPARE(kivo::test::readFile(p("dest/a.jpg")), QByteArray("photo"));
        QVERIFY(!QFileInfo::exists(p("a.jpg")));
    }

    void neverOverwrites()
    {
        QVERIFY(test::writeFile(p("new.log"), "new"));
        QVERIFY(test::writeFile(p("old.log"), "old"));
        QString error;
        QVERIFY(!FileOps::moveNoReplace(p("new.log"), p("old.log"), &error));
        QVERIFY(error.contains("already exists"));
        QCOMPARE(kivo::test::readFile(p("new.log")), QByteArray("new"));
        QCOMPARE(kivo::test::readFile(p("old.log")), QByteArray("old"));

        // An empty folder in the way is not replaced either.
        QVERIFY(QDir().mkpath(p("empty")));
        QVERIFY(test::writeFile(p("full/x"), "x"));
        QVERIFY(!FileOps::moveNoReplace(p("full"), p("empty")));
        QVERIFY(QFileInfo::exists(p("full/x")));

        QVERIFY(!FileOps::moveNoReplace(p("no-such"), p("elsewhere"), &error));
        QVERIFY(!FileOps::copyFileVerified(p("new.log"), p("old.log"), &error));
        QCOMPARE(kivo::test::readFile(p("old.log")), QByteArray("old"));
    }

    void copyKeepsContentModeAndTime()
    {
        QVERIFY(test::writeFile(p("big.bin"), bigContent()));
        QVERIFY(::chmod(QFile::encodeName(p("big.bin")).constData(), 0640) == 0);
        QFile f(p("big.bin"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1339236900);
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        f.close();
        QString error;
        QVERIFY2(FileOps::copyFileVerified(p("big.bin"), p("big copy.bin"), &error),
                 qPrintable(error));
        QCOMPARE(kivo::test::readFile(p("big copy.bin")), bigContent());
        QCOMPARE(statOf(p("big copy.bin")).st_mode & 07777, mode_t(0640));
        QCOMPARE(QFileInfo(p("big copy.bin")).lastModified(), when);
    }

    void acrossFileSystems()
    {
        needOtherFileSystem();
        QString error;
        // A whole folder with a subfolder and a link.
        QVERIFY(test::writeFile(p("tree/123/a.jpg"), "a"));
        QVERIFY(test::writeFile(p("tree/123/b b.jpg"), bigContent()));
        QVERIFY(QFile::link("123/a.jpg", p("tree/latest")));
        QVERIFY(FileOps::moveNoReplace(p("tree"), m_other->filePath("tree"), &error));
        QVERIFY(!QFileInfo::exists(p("tree")));
        QCOMPARE(kivo::test::readFile(m_other->filePath("tree/123/b b.jpg")), bigContent());
        QCOMPARE(QFileInfo(m_other->filePath("tree/latest")).symLinkTarget(),
                 m_other->filePath("tree/123/a.jpg"));
        // Existing destination on the other side: nothing changes.
        QVERIFY(test::writeFile(p("clash.txt"), "mine"));
        QVERIFY(test::writeFile(m_other->filePath("clash.txt"), "theirs"));
        QVERIFY(!FileOps::moveNoReplace(p("clash.txt"), m_other->filePath("clash.txt"), &error));
        QCOMPARE(kivo::test::readFile(p("clash.txt")), QByteArray("mine"));
        QCOMPARE(kivo::test::readFile(m_other->filePath("clash.txt")), QByteArray("theirs"));
    }

    void failedCrossMoveKeepsSource()
    {
        needOtherFileSystem();
        // A named pipe cannot be copied: the move fails part way through the folder.
        QVERIFY(test::writeFile(p("mixed/a.jpg"), "a"));
        QVERIFY(test::writeFile(p("mixed/sub/b.jpg"), "b"));
        QVERIFY(::mkfifo(QFile::encodeName(p("mixed/sub/zz-pipe")).constData(), 0600) == 0);
        QString error;
        QVERIFY(!FileOps::moveNoReplace(p("mixed"), m_other->filePath("mixed"), &error));
        QVERIFY(error.contains("zz-pipe"));
        QVERIFY(!QFileInfo::exists(m_other->filePath("mixed")));
        QCOMPARE(kivo::test::readFile(p("mixed/a.jpg")), QByteArray("a"));
        QCOMPARE(kivo::test::readFile(p("mixed/sub/b.jpg")), QByteArray("b"));
        QVERIFY(QFileInfo::exists(p("mixed/sub/zz-pipe")));
    }
};

QTEST_GUILESS_MAIN(TestFileOps)
#include "tst_fileops.moc"
