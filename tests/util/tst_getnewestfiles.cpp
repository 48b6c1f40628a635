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
        // c c.Jpg has the time of b.JPG: ordered by name.
        for (const QString &entry :
             QString("111/a.jpg:1|111/b.JPG:3|111/c c.Jpg:3|111/d.jpeg:9|111/.hidden.jpg:9|"
                     "111/notes.txt:9|111/thumbs/t.jpg:9|1111/other.jpg:8|222/e.jpg:5|AbC/f.jpg:0|"
                     "222/line\nbreak.jpg:9|.trash/old.jpg:9|loose.jpg:9|../outside/secret.jpg:9")
                 .split('|'))
            photo(entry.section(':', 0, 0), entry.section(':', 1).toInt());
        QVERIFY(QFile::link(m_dir.filePath("outside"), day() + "/link"));
        QVERIFY(QFile::link(day() + "/111/a.jpg", day() + "/222/alias.jpg"));
        for (int i = 0; i < 45; ++i)
            QVERIFY(test::writeFile(
                m_dir.filePath(QString("many/7/%1.jpg").arg(i, 2, 10, QChar('0'))), "x"));
    }

    void search_data()
    {
        // args: split at |; DAY is the day folder, MANY 45 photos
        // lines: split at |; for MANY their count
        test::columns<QString, int, QString>("args", "status", "lines");
        const QString code111 = "111/b.JPG|111/c c.Jpg|111/a.jpg";
        test::row("code", "DAY|40|111", 0, code111);
        test::row("code, 2", "DAY|2|111", 0, "111/b.JPG|111/c c.Jpg");
        test::row("other code", "DAY|40|222", 0, "222/e.jpg");
        test::row("prefix of a code", "DAY|40|11", 0, "");
        test::row("no such code", "DAY|40|999", 0, "");
        // A code finds its folder in any letter case; it is a name, not a pattern.
        test::row("code in another case", "DAY|40|aBc", 0, "AbC/f.jpg");
        test::row("pattern-like code", "DAY|40|?b*", 0, "");
        test::row("whole day", "DAY|40", 0, "1111/other.jpg|222/e.jpg|" + code111 + "|AbC/f.jpg");
        test::row("whole day, 1", "DAY|1", 0, "1111/other.jpg");
        // A code folder that is a link leading out of the day is not followed.
        test::row("link", "DAY|40|link", 0, "");
        test::row("link, other case", "DAY|40|LINK", 0, "");
        test::row("option-like code", "DAY|40|-name", 0, "");
        int hostile = 0;
        for (const char *code : {"", ".", "..", "a/b", "../outside", "111/", "1\t1", "111\n"})
            QTest::addRow("hostile %d", ++hostile) << QString("DAY|40|") + code << 2 << QString();
        test::row("no such day", "DAY/../none|40|111", 1, "");
        test::row("usage", "DAY", 64, "");
        // Counts that are not positive numbers fall back to 40.
        for (const char *count : {"0", "-3", "abc", "", "4x"})
            QTest::addRow("count '%s'", count) << QString("MANY|%1|7").arg(count) << 0 << "40";
        test::row("count 007", "MANY|007|7", 0, "7");
        test::row("huge count", "MANY|99999999999999999999|7", 0, "45");
    }

    void search()
    {
        auto [args, status, lines] = test::fetch<QString, int, QString>("args", "status", "lines");
        const bool many = args.startsWith("MANY");
        args.replace("DAY", day()).replace("MANY", m_dir.filePath("many"));
        QProcess proc;
        proc.start(AppPaths::auxiliaryExecutable("getnewestfiles.sh"), args.split('|'));
        QVERIFY2(proc.waitForFinished(30000), "build the kivo_resources target");
        QCOMPARE(proc.exitCode(), status);
        const QString out = QString::fromUtf8(proc.readAllStandardOutput());
        QVERIFY(out.isEmpty() || out.endsWith('\n'));
        const QStringList got = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(many ? QString::number(got.size()) : got.join('|'), lines);
    }
};

QTEST_GUILESS_MAIN(TestGetNewestFiles)
#include "tst_getnewestfiles.moc"
