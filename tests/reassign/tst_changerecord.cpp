#include "OutputCapture.h"
#include "TestSupport.h"

#include "reassign/ChangeRecord.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

using namespace kivo;

namespace {

const QDateTime kWinter(QDate(2025, 12, 29), QTime(10, 30, 5));
} // namespace

// The change record: its folder, its name and its bytes.
class TestChangeRecord : public QObject
{
    Q_OBJECT

    QString folder() const { return QDir::home().filePath(".Corvel/CodeChanges"); }

private slots:
    void init() { QDir(folder()).removeRecursively(); }

    void nameUsesTheCalendarYear()
    {
        // 29 December 2025 lies in week 1 of the week-based year 2026.
        QCOMPARE(ChangeRecord::recordFileName(kWinter), "20251229103005_reassigned.xml");
        QCOMPARE(ChangeRecord::recordFileName(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0))),
                 "20270101000000_reassigned.xml");
        QCOMPARE(ChangeRecord::recordFileName(kWinter, 3), "20251229103005_3_reassigned.xml");
    }

    void folderThatIsAFileGivesNoPath()
    {
        QVERIFY(QDir().mkpath(QDir::home().filePath(".Corvel")));
        QFile blocker(folder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        OutputCapture log;
        QVERIFY(ChangeRecord::getReassignmentXmlPath(kWinter).isNull());
        QVERIFY(
            ChangeRecord::write("/p/2025-12-29/A", "/p/2025-12-29/B", {"x.jpg"}, kWinter).isNull());
        QVERIFY(log.text().contains("createCodeChangesPath"));
        QVERIFY(QFileInfo(folder()).isFile());
        QFile::remove(folder());
    }

    void unwritableFolderWritesNothingAndSaysSo()
    {
        QVERIFY(!ChangeRecord::createCodeChangesPath().isEmpty());
        const bool root = ::geteuid() == 0;
        auto lock = [&](bool on) {
            if (root)
                return QProcess::execute("chattr", {on ? "+i" : "-i", folder()}) == 0;
            return QFile::setPermissions(folder(), on ? QFile::ReadOwner | QFile::ExeOwner
                                                      : QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ExeOwner);
        };
        if (!lock(true))
            QSKIP("the folder cannot be made unwritable here");
        OutputCapture log;
        const QString path = ChangeRecord::write("/p/d/A", "/p/d/B", {"1.jpg"}, kWinter);
        lock(false);
        QVERIFY(path.isNull());
        QVERIFY(log.text().contains("ERROR in renaming/moving final xml path = "));
        QVERIFY(QDir(folder()).entryList(QDir::Files).isEmpty());
    }

    void recordByteForByte()
    {
        const QString path = ChangeRecord::write("/photos/2025-12-29/20251229A0042",
                                                 "/photos/2025-12-29/20251229A0107/",
                                                 {"IMG_4701.jpg", "Tom & Jerry <1>.jpg"}, kWinter);
        QCOMPARE(path, folder() + "/20251229103005_reassigned.xml");
        QCOMPARE(test::readFile(path),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
                            "<data type=\"changecode\">\n"
                            "\t<oldcode date=\"2025-12-29\">\n"
                            "\t\t20251229A0042\n"
                            "\t</oldcode>\n"
                            "\t<newcode date=\"2025-12-29\">\n"
                            "\t\t20251229A0107\n"
                            "\t</newcode>\n"
                            "\t<files>\n"
                            "\t\t<filename>IMG_4701.jpg</filename>\n"
                            "\t\t<filename>Tom &amp; Jerry &lt;1&gt;.jpg</filename>\n"
                            "\t</files>\n"
                            "</data>\n"));
        // Nothing is left under the temporary name.
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    }

    void recordsOfOneSecondNeverReplaceEachOther()
    {
        const QString first = ChangeRecord::write("/p/d/A", "/p/d/B", {"1.jpg"}, kWinter);
        const QString second = ChangeRecord::write("/p/d/A", "/p/d/C", {"2.jpg"}, kWinter);
        // A stale temporary file of the third name keeps that name from being used.
        QFile stale(folder() + "/20251229103005_3_reassigned.xml.tmp");
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        const QString third = ChangeRecord::write("/p/d/A", "/p/d/D", {"3.jpg"}, kWinter);
        QCOMPARE(QFileInfo(first).fileName(), "20251229103005_reassigned.xml");
        QCOMPARE(QFileInfo(second).fileName(), "20251229103005_2_reassigned.xml");
        QCOMPARE(QFileInfo(third).fileName(), "20251229103005_4_reassigned.xml");
        QVERIFY(test::readFile(first).contains("<filename>1.jpg</filename>"));
        QVERIFY(test::readFile(second).contains("<filename>2.jpg</filename>"));
        QVERIFY(test::readFile(third).contains("<filename>3.jpg</filename>"));
        QVERIFY(test::readFile(second).contains("\t\tC\n"));
    }
};

QTEST_GUILESS_MAIN(TestChangeRecord)
#include "tst_changerecord.moc"
