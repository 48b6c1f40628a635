#include "TestSupport.h"
#include "platform/FileOps.h"

#include <QtTest>

#include <sys/stat.h>

using namespace kivo;

namespace {

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
    QString m_other; // on another file system, when there is one

    QString p(const QString &name) const { return m_dir.filePath(name); }
    QString far(const QString &name) const { return m_other + "/" + name; }

private slots:
    void initTestCase() { m_other = test::folderOnOtherFileSystem(m_dir.path()); }
    void cleanupTestCase() { QDir(m_other).removeRecursively(); }

    void init()
    {
        if (m_other.isEmpty() &&
            QByteArray(QTest::currentTestFunction()).toLower().contains("cross"))
            QSKIP("no second file system (tmpfs) available for cross-device moves");
    }

    void neverOverwrites()
    {
        QVERIFY(test::writeFile(p("new.log"), "new"));
        QVERIFY(test::writeFile(p("old.log"), "old"));
        QString error;
        QVERIFY(!FileOps::moveNoReplace(p("new.log"), p("old.log"), &error));
        QVERIFY(error.contains("already exists"));
        QCOMPARE(test::readFile(p("new.log")), QByteArray("new"));
        QCOMPARE(test::readFile(p("old.log")), QByteArray("old"));
        QVERIFY(!FileOps::copyFileVerified(p("new.log"), p("old.log"), &error));
        QCOMPARE(test::readFile(p("old.log")), QByteArray("old"));

        // An empty folder in the way is not replaced either.
        QVERIFY(QDir().mkpath(p("empty")));
        QVERIFY(test::writeFile(p("full/x"), "x"));
        QVERIFY(!FileOps::moveNoReplace(p("full"), p("empty")));
        QVERIFY(QFileInfo::exists(p("full/x")));
        QVERIFY(!FileOps::moveNoReplace(p("no-such"), p("elsewhere"), &error));

        QVERIFY(FileOps::moveNoReplace(p("new.log"), p("full/new.log"), &error));
        QCOMPARE(test::readFile(p("full/new.log")), QByteArray("new"));
        QVERIFY(!QFileInfo::exists(p("new.log")));
    }

    void copyKeepsContentModeAndTime()
    {
        QVERIFY(test::writeFile(p("big.bin"), bigContent()));
        QVERIFY(QFile::setPermissions(p("big.bin"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QCOMPARE(QProcess::execute("touch", {"-d", "@1339236900", p("big.bin")}), 0);
        QString error;
        QVERIFY2(FileOps::copyFileVerified(p("big.bin"), p("big copy.bin"), &error),
                 qPrintable(error));
        QCOMPARE(test::readFile(p("big copy.bin")), bigContent());
        QCOMPARE(test::modeOf(p("big copy.bin")) & 07777, mode_t(0640));
        QCOMPARE(QFileInfo(p("big copy.bin")).lastModified().toSecsSinceEpoch(), 1339236900);
    }

    void crossFileSystemMoves()
    {
        // A whole folder with a subfolder and a link.
        QString error;
        QVERIFY(test::writeFile(p("tree/123/a.jpg"), "a"));
        QVERIFY(test::writeFile(p("tree/123/b b.jpg"), bigContent()));
        QVERIFY(QFile::link("123/a.jpg", p("tree/latest")));
        QVERIFY(FileOps::moveNoReplace(p("tree"), far("tree"), &error));
        QVERIFY(!QFileInfo::exists(p("tree")));
        QCOMPARE(test::readFile(far("tree/123/b b.jpg")), bigContent());
        QCOMPARE(QFileInfo(far("tree/latest")).symLinkTarget(), far("tree/123/a.jpg"));
        // Existing destination on the other side: nothing changes.
        QVERIFY(test::writeFile(p("clash.txt"), "mine"));
        QVERIFY(test::writeFile(far("clash.txt"), "theirs"));
        QVERIFY(!FileOps::moveNoReplace(p("clash.txt"), far("clash.txt"), &error));
        QCOMPARE(test::readFile(p("clash.txt")), QByteArray("mine"));
        QCOMPARE(test::readFile(far("clash.txt")), QByteArray("theirs"));
    }

    void failedCrossMoveKeepsSource()
    {
        // A named pipe cannot be copied: the move fails part way through the folder.
        QVERIFY(test::writeFile(p("mixed/a.jpg"), "a"));
        QVERIFY(test::writeFile(p("mixed/sub/b.jpg"), "b"));
        QVERIFY(::mkfifo(QFile::encodeName(p("mixed/sub/zz-pipe")).constData(), 0600) == 0);
        QString error;
        QVERIFY(!FileOps::moveNoReplace(p("mixed"), far("mixed"), &error));
        QVERIFY(error.contains("zz-pipe"));
        QVERIFY(!QFileInfo::exists(far("mixed")));
        QCOMPARE(test::readFile(p("mixed/a.jpg")), QByteArray("a"));
        QCOMPARE(test::readFile(p("mixed/sub/b.jpg")), QByteArray("b"));
        QVERIFY(QFileInfo::exists(p("mixed/sub/zz-pipe")));
    }
};

QTEST_GUILESS_MAIN(TestFileOps)
#include "tst_fileops.moc"
