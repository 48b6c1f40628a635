#include "OutputCapture.h"

#include "TestSupport.h"
#include "reassign/ReassignmentMover.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace kivo;

// Moving photos into another code's folder, one at a time, never replacing.
class TestReassignmentMover : public QObject
{
    Q_OBJECT

    QTemporaryDir mRoot;
    QString mOld, mNew;

    QString photo(const QString &name, QColor color = Qt::darkCyan)
    {
        const QString path = QDir(mOld).filePath(name);
        if (!test::writeJpeg(path, 64, 48, color))
            qFatal("cannot write a photo");
        return path;
    }

private slots:
    void init()
    {
        QDir(mRoot.path()).removeRecursively();
        mOld = mRoot.filePath("2025-12-29/A100");
        mNew = mRoot.filePath("2025-12-29/B200");
        QVERIFY(QDir().mkpath(mOld));
        QVERIFY(QDir().mkpath(mNew));
    }

    void failingMiddlePhotoStaysAndIsLeftOut()
    {
        const QStringList photos = {photo("1.jpg"), photo("2.jpg", Qt::red), photo("3.jpg")};
        // Another photo of the same name is already in the new code.
        QVERIFY(test::writeJpeg(QDir(mNew).filePath("2.jpg"), 32, 32, Qt::blue));
        const QByteArray theirs = test::readFile(QDir(mNew).filePath("2.jpg"));
        const QByteArray ours = test::readFile(photos[1]);
        OutputCapture log;
        QCOMPARE(ReassignmentMover::moveImages(photos, mNew), (QStringList{"1.jpg", "3.jpg"}));
        QVERIFY(QFileInfo::exists(QDir(mNew).filePath("1.jpg")));
        QVERIFY(QFileInfo::exists(QDir(mNew).filePath("3.jpg")));
        QVERIFY(!QFileInfo::exists(photos[0]) && !QFileInfo::exists(photos[2]));
        QCOMPARE(test::readFile(photos[1]), ours);
        QCOMPARE(test::readFile(QDir(mNew).filePath("2.jpg")), theirs);
        const QString expected = QStringLiteral("ReAssignCodeWindowController->doMoveImages..."
                                                "moveItemAtPath FROM: [%1] TO: [%2] returned "
                                                "Error:[")
                                     .arg(photos[1], mNew);
        QVERIFY2(QString::fromUtf8(log.text()).contains(expected), log.text().constData());
    }

    void deletedPhotoIsSkippedAndOddNamesMove()
    {
        const QStringList photos = {photo("gone.jpg"), photo("Tom & Jerry <1>.jpg")};
        QVERIFY(QFile::remove(photos[0]));
        OutputCapture log;
        QCOMPARE(ReassignmentMover::moveImages(photos, mNew), QStringList{"Tom & Jerry <1>.jpg"});
        QVERIFY(log.text().contains("gone.jpg"));
        QVERIFY(QFileInfo::exists(QDir(mNew).filePath("Tom & Jerry <1>.jpg")));
    }

    void missingNewFolderMovesNothingAndCreatesNothing()
    {
        const QStringList photos = {photo("1.jpg"), photo("2.jpg")};
        QVERIFY(QDir(mNew).removeRecursively());
        OutputCapture log;
        QVERIFY(ReassignmentMover::moveImages(photos, mNew).isEmpty());
        QVERIFY(QFileInfo::exists(photos[0]) && QFileInfo::exists(photos[1]));
        QVERIFY(!QFileInfo::exists(mNew));
        QCOMPARE(log.text().count("moveItemAtPath"), 2);
    }

    void moveAcrossFileSystemsKeepsTheBytes()
    {
        // /dev/shm is a memory file system on most Linux machines.
        QTemporaryDir other(QStringLiteral("/dev/shm/kivo-mover-XXXXXX"));
        struct stat a, b;
        if (!other.isValid() || ::stat(QFile::encodeName(other.path()), &a) != 0 ||
            ::stat(QFile::encodeName(mNew), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("no second file system at hand");
        const QString photo = other.filePath("far.jpg");
        QVERIFY(test::writeJpeg(photo, 300, 200, Qt::magenta));
        const QByteArray original = test::readFile(photo);
        QCOMPARE(ReassignmentMover::moveImages({photo}, mNew), QStringList{"far.jpg"});
        QVERIFY(!QFileInfo::exists(photo));
        QCOMPARE(test::readFile(QDir(mNew).filePath("far.jpg")), original);
    }

    void unwritableFolderKeepsEveryPhoto()
    {
        const QStringList photos = {photo("1.jpg"), photo("2.jpg")};
        // Permissions do not bind the superuser; the immutable flag does.
        const bool root = ::geteuid() == 0;
        auto lock = [&](bool on) {
            if (root)
                return QProcess::execute("chattr", {on ? "+i" : "-i", mNew}) == 0;
            return QFile::setPermissions(mNew, on ? QFile::ReadOwner | QFile::ExeOwner
                                                  : QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ExeOwner);
        };
        if (!lock(true))
            QSKIP("the folder cannot be made unwritable here");
        OutputCapture log;
        const QStringList moved = ReassignmentMover::moveImages(photos, mNew);
        lock(false);
        QVERIFY(moved.isEmpty());
        QVERIFY(QFileInfo::exists(photos[0]) && QFileInfo::exists(photos[1]));
        QCOMPARE(log.text().count("moveItemAtPath"), 2);
    }
};

QTEST_GUILESS_MAIN(TestReassignmentMover)
#include "tst_reassignmentmover.moc"
