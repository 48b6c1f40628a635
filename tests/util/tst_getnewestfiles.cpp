#include "TestSupport.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

namespace {

struct Run
{
    int status = -1;
    QStringList lines;
};

} // namespace

// The photo search script, run from the build tree as the station runs it.
class TestGetNewestFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_script;
    QString day() const { return m_dir.filePath("2024-06-09"); }

    // A file under the day folder with its modification time `minute` minutes past 10:00.
    void photo(const QString &relative, int minute)
    {
        const QString path = day() + "/" + relative;
        QVERIFY(test::writeFile(path, "jpeg"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime(QDate(2024, 6, 9), QTime(10, minute)),
                              QFileDevice::FileModificationTime));
    }

    Run run(const QStringList &args)
    {
        QProcess proc;
        proc.start(m_script, args);
        Run result;
        if (!proc.waitForFinished(30000))
            return result;
        result.status = proc.exitCode();
        const QString out = QString::fromUtf8(proc.readAllStandardOutput());
        result.lines = out.split('\n', Qt::SkipEmptyParts);
        if (!out.isEmpty() && !out.endsWith('\n'))
            result.lines << "<missing final newline>";
        return result;
    }

private slots:
    void initTestCase()
    {
        m_script = AppPaths::auxiliaryExecutable("getnewestfiles.sh");
        QVERIFY2(!m_script.isEmpty(), "build the kivo_resources target");
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
    }

    void oneCode()
    {
        const Run r = run({day(), "40", "111"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.lines, (QStringList{"111/b.JPG", "111/c c.Jpg", "111/a.jpg"}));
        QCOMPARE(run({day(), "2", "111"}).lines, (QStringList{"111/b.JPG", "111/c c.Jpg"}));
        QCOMPARE(run({day(), "40", "222"}).lines, (QStringList{"222/e.jpg"}));
        QCOMPARE(run({day(), "40", "11"}).lines, QStringList());
        QCOMPARE(run({day(), "40", "999"}).status, 0);
        QCOMPARE(run({day(), "40", "999"}).lines, QStringList());
    }

    void wholeDay()
    {
        QCOMPARE(run({day(), "40"}).lines, (QStringList{"1111/other.jpg", "222/e.jpg", "111/b.JPG",
                                                        "111/c c.Jpg", "111/a.jpg"}));
        QCOMPARE(run({day(), "1"}).lines, QStringList{"1111/other.jpg"});
    }

    void hostileCodes()
    {
        for (const QString &code :
             {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"),
              QStringLiteral("../outside"), QStringLiteral("111/"), QStringLiteral("1\t1"),
              QStringLiteral("111\n")}) {
            const Run r = run({day(), "40", code});
            QVERIFY2(r.status == 2, qPrintable(code));
            QVERIFY2(r.lines.isEmpty(), qPrintable(code));
        }
        // A code folder that is a link leading out of the day is not followed.
        QCOMPARE(run({day(), "40", "link"}).lines, QStringList());
        QCOMPARE(run({day(), "40", "-name"}).status, 0);
    }

    void countFallsBackTo40()
    {
        QTemporaryDir many;
        for (int i = 0; i < 45; ++i)
            QVERIFY(
                test::writeFile(many.filePath(QString("7/%1.jpg").arg(i, 2, 10, QChar('0'))), "x"));
        for (const char *count : {"0", "-3", "abc", "", "4x"})
            QCOMPARE(run({many.path(), count, "7"}).lines.size(), 40);
        QCOMPARE(run({many.path(), "007", "7"}).lines.size(), 7);
        QCOMPARE(run({many.path(), "99999999999999999999", "7"}).lines.size(), 45);
    }

    void badFolder()
    {
        const Run r = run({m_dir.filePath("no-such-day"), "40", "111"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.lines.isEmpty());
        QCOMPARE(run({day()}).status, 64);
    }
};

QTEST_GUILESS_MAIN(TestGetNewestFiles)
#include "tst_getnewestfiles.moc"
