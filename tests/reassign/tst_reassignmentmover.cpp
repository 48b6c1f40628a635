#include "OutputCapture.h"
#include "TestSupport.h"

#include "reassign/ReassignmentMover.h"

#include <QtTest>

using namespace kivo;

// Moving photos into another code's folder, one at a time, never replacing:
// the failing middle photo is the sheet's own test.
class TestReassignmentMover : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;

private slots:
    void failuresKeepThePhotos_data()
    {
        test::columns<QString, QStringList>("obstacle", "moved");
        test::row("none", "", QStringList{"gone.jpg", "Tom & Jerry <1>.jpg"});
        // A photo deleted meanwhile is skipped, the rest still move.
        test::row("deleted photo", "deleted", QStringList{"Tom & Jerry <1>.jpg"});
        // A missing folder is not created.
        test::row("no folder", "no folder", QStringList());
        // Permissions do not bind the superuser; the immutable flag does.
        test::row("locked folder", "locked", QStringList());
        // A code folder linked to a sibling is used; one linked out of the day
        // would move the photos out of the store.
        test::row("link in the day", "../2025-12-29/C300",
                  QStringList{"gone.jpg", "Tom & Jerry <1>.jpg"});
        test::row("link out of the day", "../outside", QStringList());
    }

    void failuresKeepThePhotos()
    {
        const auto [obstacle, moved] = test::fetch<QString, QStringList>("obstacle", "moved");
        const QString day = m_root.filePath(QTest::currentDataTag()) + "/2025-12-29";
        const QString from = day + "/A100", to = day + "/B200";
        QStringList photos;
        for (const char *name : {"gone.jpg", "Tom & Jerry <1>.jpg"}) {
            photos << from + "/" + name;
            QVERIFY(test::writeJpeg(photos.last(), 64, 48));
        }
        if (obstacle.startsWith(".."))
            QVERIFY(QDir().mkpath(day + "/" + obstacle) && QFile::link(day + "/" + obstacle, to));
        else
            QVERIFY(obstacle == "no folder" || QDir().mkpath(to));
        if (obstacle == "deleted")
            QVERIFY(QFile::remove(photos[0]));
        if (obstacle == "locked" && !test::lockFolder(to, true))
            QSKIP("the folder cannot be made unwritable here");
        OutputCapture log;
        const QStringList result = ReassignmentMover::moveImages(photos, to);
        QVERIFY(obstacle != "locked" || test::lockFolder(to, false));
        QCOMPARE(result, moved);
        for (const QString &photo : photos) {
            const QString name = QFileInfo(photo).fileName();
            QCOMPARE(QFileInfo::exists(to + "/" + name), moved.contains(name));
            QCOMPARE(QFileInfo::exists(photo),
                     !moved.contains(name) && !(obstacle == "deleted" && name == "gone.jpg"));
        }
        QCOMPARE(log.text().count("moveItemAtPath"), 2 - moved.size());
        QCOMPARE(QFileInfo::exists(to), obstacle != "no folder");
    }

    void moveAcrossFileSystemsKeepsTheBytes()
    {
        const QString other = test::folderOnOtherFileSystem(m_root.path());
        if (other.isEmpty())
            QSKIP("no second file system at hand");
        const auto cleanup = qScopeGuard([&] { QDir(other).removeRecursively(); });
        QVERIFY(test::writeJpeg(other + "/far.jpg", 300, 200, Qt::magenta));
        const QByteArray original = test::readFile(other + "/far.jpg");
        QCOMPARE(ReassignmentMover::moveImages({other + "/far.jpg"}, m_root.path()),
                 QStringList{"far.jpg"});
        QVERIFY(!QFileInfo::exists(other + "/far.jpg"));
        QCOMPARE(test::readFile(m_root.filePath("far.jpg")), original);
    }
};

QTEST_GUILESS_MAIN(TestReassignmentMover)
#include "tst_reassignmentmover.moc"
