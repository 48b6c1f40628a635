#include "TestSupport.h"
#include "platform/Trash.h"

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
        QCOMPARE(test::readFile(trashed), QByteArray("one"));
        QVERIFY(!QFileInfo::exists(item));

        const QStringList lines =
            QString(test::readFile(info() + "my notes 100%.log.trashinfo")).split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.mid(0, 2),
                 QStringList({"[Trash Info]", "Path=" + QUrl::toPercentEncoding(item, "/")}));
        QVERIFY(lines[2].startsWith("DeletionDate="));
        const QDateTime when = QDateTime::fromString(lines[2].mid(13), Qt::ISODate);
        QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) < 60);

        // A folder goes whole; a missing item leaves no info file behind.
        QVERIFY(test::writeFile(m_dir.filePath("old day/123/a.jpg"), "jpeg"));
        QVERIFY(Trash::moveToTrash(m_dir.filePath("old day/"), &trashed));
        QCOMPARE(test::readFile(files() + "old day/123/a.jpg"), QByteArray("jpeg"));
        QVERIFY(!Trash::moveToTrash(m_dir.filePath("missing")));
        QVERIFY(!Trash::moveToTrash(QString()));
        QCOMPARE(QDir(info()).entryList(QDir::Files).size(), 2);
    }

    void clashesNeverOverwrite()
    {
        const QDateTime now(QDate(2012, 6, 9), QTime(10, 15, 0));
        QStringList trashed;
        for (const char *content : {"first", "second", "third", "fourth"}) {
            QVERIFY(test::writeFile(m_dir.filePath("server.log"), content));
            QString where;
            QVERIFY(Trash::moveToTrash(m_dir.filePath("server.log"), &where, now));
            QCOMPARE(test::readFile(where), QByteArray(content));
            trashed << where.mid(files().size());
        }
        QCOMPARE(trashed,
                 (QStringList{"server.log", "server.log 20120609_101500",
                              "server.log 20120609_101500 2", "server.log 20120609_101500 3"}));

        // An orphaned info file also reserves its name.
        QVERIFY(test::writeFile(info() + "orphan.txt.trashinfo", "[Trash Info]\n"));
        QVERIFY(test::writeFile(m_dir.filePath("orphan.txt"), "x"));
        QString where;
        QVERIFY(Trash::moveToTrash(m_dir.filePath("orphan.txt"), &where, now));
        QCOMPARE(where, files() + "orphan.txt 20120609_101500");
    }

    void moveFailureLeavesNoInfo()
    {
        // A locked parent cannot give up its item: nothing is reserved in the trash.
        const QString parent = m_dir.filePath("locked");
        QVERIFY(test::writeFile(parent + "/keep.log", "k"));
        if (!test::lockFolder(parent, true))
            QSKIP("the folder cannot be locked here");
        const bool trashed = Trash::moveToTrash(parent + "/keep.log");
        QVERIFY(test::lockFolder(parent, false));
        QVERIFY(!trashed);
        QVERIFY(QFileInfo::exists(parent + "/keep.log"));
        QVERIFY(!QFileInfo::exists(info() + "keep.log.trashinfo"));
    }
};

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_trash.moc"
