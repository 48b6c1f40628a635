#include "TestSupport.h"
#include "platform/AppPaths.h"

#include <QtTest>

using namespace kivo;

// The photo search script, run from the build tree as the station runs it.
class TestGetNewestFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString day() const { return m_dir.filePath("2024-06-09"); }

    // A file under the day folder, modified `minute` minutes past 10:00.
    void photo(const QString &relative, int minute)
    {
        const QString path = day() + "/" + relative;
        QVERIFY(test::writeFile(path, "jpeg"));
        QCOMPARE(
            QProcess::execute("touch", {"-m", "-d", QString("2024-06-09 10:%1").arg(minute), path}),
            0);
    }

private slots:
    void initTestCase()
    {
        photo("111/a.jpg", 1);
        photo("111/b.JPG", 3);
        photo("111/c c.Jpg", 3); // same time as b.JPG: ordered by name
        photo("111/d.jpeg", 9);
        photo("111/.hidden.jpg", 9);
        photo("111/notes.txt", 9);
        photo("111/thumbs/t.jpg", 9);
        photo("1111/other.jpg", 8);
        photo("222/e.jpg", 5);
        photo("222/line\nbreak.jpg", 9);
        photo(".trash/old.jpg", 9);
        photo("loose.jpg", 9);
        photo("../outside/secret.jpg", 9);
        QVERIFY(QFile::link(m_dir.filePath("outside"), day() + "/link"));
        QVERIFY(QFile::link(day() + "/111/a.jpg", day() + "/222/alias.jpg"));
        for (int i = 0; i < 45; ++i)
            QVERIFY(test::writeFile(
                m_dir.filePath(QString("many/7/%1.jpg").arg(i, 2, 10, QChar('0'))), "x"));
    }

    void search_data()
    {
        QTest::addColumn<QStringList>("args"); // DAY stands for the day folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // or their count, for many/7
        const QStringList code111{"111/b.JPG", "111/c c.Jpg", "111/a.jpg"};
        QTest::newRow("code") << QStringList{"DAY", "40", "111"} << 0 << code111;
        QTest::newRow("code, 2") << QStringList{"DAY", "2", "111"} << 0 << code111.mid(0, 2);
        QTest::newRow("other code")
            << QStringList{"DAY", "40", "222"} << 0 << QStringList{"222/e.jpg"};
        QTest::newRow("prefix of a code") << QStringList{"DAY", "40", "11"} << 0 << QStringList();
        QTest::newRow("no such code") << QStringList{"DAY", "40", "999"} << 0 << QStringList();
        QTest::newRow("whole day") << QStringList{"DAY", "40"} << 0
                                   << QStringList{"1111/other.jpg", "222/e.jpg"} + code111;
        QTest::newRow("whole day, 1")
            << QStringList{"DAY", "1"} << 0 << QStringList{"1111/other.jpg"};
        // A code folder that is a link leading out of the day is not followed.
        QTest::newRow("link") << QStringList{"DAY", "40", "link"} << 0 << QStringList();
        QTest::newRow("option-like code")
            << QStringList{"DAY", "40", "-name"} << 0 << QStringList();
        int hostile = 0;
        for (const char *code : {"", ".", "..", "a/b", "../outside", "111/", "1\t1", "111\n"})
            QTest::addRow("hostile %d", ++hostile)
                << QStringList{"DAY", "40", code} << 2 << QStringList();
        QTest::newRow("no such day")
            << QStringList{"DAY/../none", "40", "111"} << 1 << QStringList();
        QTest::newRow("usage") << QStringList{"DAY"} << 64 << QStringList();
        // Counts that are not positive numbers fall back to 40.
        for (const char *count : {"0", "-3", "abc", "", "4x"})
            QTest::addRow("count '%s'", count)
                << QStringList{"MANY", count, "7"} << 0 << QStringList{"40"};
        QTest::newRow("count 007") << QStringList{"MANY", "007", "7"} << 0 << QStringList{"7"};
        QTest::newRow("huge count")
            << QStringList{"MANY", "99999999999999999999", "7"} << 0 << QStringList{"45"};
    }

    void search()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        const bool many = args[0] == "MANY";
        args[0] = many ? m_dir.filePath("many") : args[0].replace("DAY", day());
        QProcess proc;
        proc.start(AppPaths::auxiliaryExecutable("getnewestfiles.sh"), args);
        QVERIFY2(proc.waitForFinished(30000), "build the kivo_resources target");
        QCOMPARE(proc.exitCode(), status);
        const QString out = QString::fromUtf8(proc.readAllStandardOutput());
        QVERIFY(out.isEmpty() || out.endsWith('\n'));
        const QStringList got = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(many ? QStringList{QString::number(got.size())} : got, lines);
    }
};

QTEST_GUILESS_MAIN(TestGetNewestFiles)
#include "tst_getnewestfiles.moc"
