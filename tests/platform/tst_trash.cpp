#include "TestSupport.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

class TestTrash : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString files() const { return Trash::trashFolder() + "/files/"; }
    QString info() const { return Trash::trashFolder() + "/info/"; }

private slots:
    void trashesWithInfo()
    {
        const QString item = m_dir.filePath("my notes 100%.log");
        QVERIFY(test::writeFile(item, "one"));
        QString trashed;
        QVERIFY(Trash::moveToTrash(item, &trashed));
        QCOMPARE(trashed, files() + "my notes 100%.log");
        QCOMPARE(kivo::test::readFile(trashed), QByteArray("one"));
        QVERIFY(!QFileInfo::exists(item));

        const QString infoText =
            QString::fromUtf8(kivo::test::readFile(info() + "my notes 100%.log.trashinfo"));
        const QStringList lines = infoText.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("[Trash Info]"));
        QCOMPARE(lines[1], "Path=" + QString::fromLatin1(QUrl::toPercentEncoding(item, "/")));
        QVERIFY(lines[2].startsWith("DeletionDate="));
        const QDateTime when = QDateTime::fromString(lines[2].mid(13), Qt::ISODate);
        QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) < 60);
    }

    void clashesNeverOverwrite()
    {
        const QDateTime now(QDate(2012, 6, 9), QTime(10, 15, 0));
        QStringList trashed;
        for (const char *content : {"first", "second", "third", "fourth"}) {
            const QString item = m_dir.filePath("server.log");
            QVERIFY(test::writeFile(item, content));
            QString where;
            QVERIFY(Trash::moveToTrash(item, &where, now));
            trashed << where;
        }
        QCOMPARE(trashed,
                 (QStringList{files() + "server.log", files() + "server.log 20120609_101500",
                              files() + "server.log 20120609_101500 2",
                              files() + "server.log 20120609_101500 3"}));
        QCOMPARE(kivo::test::readFile(trashed[0]), QByteArray("first"));
        QCOMPARE(kivo::test::readFile(trashed[3]), QByteArray("fourth"));

        // An orphaned info file also reserves its name.
        QVERIFY(test::writeFile(info() + "orphan.txt.trashinfo", "[Trash Info]\n"));
        QVERIFY(test::writeFile(m_dir.filePath("orphan.txt"), "x"));
        QString where;
        QVERIFY(Trash::moveToTrash(m_dir.filePath("orphan.txt"), &where, now));
        QCOMPARE(where, files() + "orphan.txt 20120609_101500");
    }

    void foldersAndMissingItems()
    {
        const QString folder = m_dir.filePath("old day");
        QVERIFY(test::writeFile(folder + "/123/a.jpg", "jpeg"));
        QString where;
        QVERIFY(Trash::moveToTrash(folder + "/", &where));
        QCOMPARE(where, files() + "old day");
        QCOMPARE(kivo::test::readFile(where + "/123/a.jpg"), QByteArray("jpeg"));

        const int before = QDir(info()).entryList(QDir::Files).size();
        QVERIFY(!Trash::moveToTrash(m_dir.filePath("missing")));
        QVERIFY(!Trash::moveToTrash(QString()));
        QCOMPARE(QDir(info()).entryList(QDir::Files).size(), before);
    }

    void moveFailureLeavesNoInfo()
    {
        // A read-only parent cannot give up its item: nothing is reserved in the trash.
        if (::geteuid() == 0)
            QSKIP("root may remove from read-only folders");
        const QString parent = m_dir.filePath("locked");
        QVERIFY(test::writeFile(parent + "/keep.log", "k"));
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(!Trash::moveToTrash(parent + "/keep.log"));
        QFile::setPermissions(parent, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QFileInfo::exists(parent + "/keep.log"));
        QVERIFY(!QFileInfo::exists(info() + "keep.log.trashinfo"));
    }
};

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_trash.moc"
