#include "OutputCapture.h"
#include "TestSupport.h"

#include "reassign/ChangeRecord.h"

#include <QtTest>

using namespace kivo;

// The change record: its folder, its name and its bytes.
class TestChangeRecord : public QObject
{
    Q_OBJECT
    // 29 December 2025 lies in week 1 of the week-based year 2026.
    const QDateTime kWinter{QDate(2025, 12, 29), QTime(10, 30, 5)};
    QString folder() const { return QDir::home().filePath(".Corvel/CodeChanges"); }

private slots:
    void init() { QDir(folder()).removeRecursively(); }

    void recordByteForByte()
    {
        QCOMPARE(ChangeRecord::recordFileName(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0)), 3),
                 "20270101000000_3_reassigned.xml");
        const QString path = ChangeRecord::write("/photos/2025-12-29/20251229A0042",
                                                 "/photos/2025-12-29/20251229A0107/",
                                                 {"IMG_4701.jpg", "Tom & Jerry <1>.jpg"}, kWinter);
        QCOMPARE(path, folder() + "/20251229103005_reassigned.xml"); // the calendar year
        QCOMPARE(test::readFile(path),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
                            "<data type=\"changecode\">\n"
                            "\t<oldcode date=\"2025-12-29\">\n\t\t20251229A0042\n\t</oldcode>\n"
                            "\t<newcode date=\"2025-12-29\">\n\t\t20251229A0107\n\t</newcode>\n"
                            "\t<files>\n\t\t<filename>IMG_4701.jpg</filename>\n"
                            "\t\t<filename>Tom &amp; Jerry &lt;1&gt;.jpg</filename>\n\t</files>\n"
                            "</data>\n"));
        // Nothing is left under the temporary name.
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    }

    void recordsOfOneSecondNeverReplaceEachOther()
    {
        QStringList names;
        for (const char *code : {"B", "C", "D"}) {
            // A stale temporary file of the third name keeps that name from being used.
            if (QByteArray(code) == "D")
                QVERIFY(test::writeFile(folder() + "/20251229103005_3_reassigned.xml.tmp", ""));
            const QString path = ChangeRecord::write("/p/d/A", QString("/p/d/") + code,
                                                     {code + QString(".jpg")}, kWinter);
            QVERIFY(test::readFile(path).contains(QString("\t\t%1\n").arg(code).toUtf8()));
            QVERIFY(test::readFile(path).contains(QString("<filename>%1.jpg").arg(code).toUtf8()));
            names << QFileInfo(path).fileName();
        }
        QCOMPARE(names,
                 (QStringList{"20251229103005_reassigned.xml", "20251229103005_2_reassigned.xml",
                              "20251229103005_4_reassigned.xml"}));
    }

    void nothingWrittenWhereNothingCanBe()
    {
        // The folder is a file: no path at all.
        QVERIFY(test::writeFile(folder(), ""));
        OutputCapture log;
        QVERIFY(ChangeRecord::getReassignmentXmlPath(kWinter).isNull());
        QVERIFY(ChangeRecord::write("/p/d/A", "/p/d/B", {"x.jpg"}, kWinter).isNull());
        QVERIFY(log.text().contains("createCodeChangesPath"));
        QVERIFY(QFileInfo(folder()).isFile());
        QVERIFY(QFile::remove(folder()));

        // The ".tmp" written before the moves names the photos that did move; when
        // it cannot be put in place it is kept, and the log says so.
        ChangeRecord record("/p/d/A", "/p/d/B", kWinter);
        QVERIFY(record.prepare({"1.jpg", "2.jpg"}));
        const QString temporary = record.temporaryPath();
        QVERIFY(test::readFile(temporary).contains("<filename>2.jpg</filename>"));
        if (!test::lockFolder(folder(), true))
            QSKIP("the folder cannot be made unwritable here");
        QVERIFY(!record.commit({"1.jpg"}));
        QVERIFY(test::lockFolder(folder(), false));
        QVERIFY(!record.error().isEmpty());
        QVERIFY(log.text().contains("ERROR in renaming/moving final xml path = "));
        QCOMPARE(QDir(folder()).entryList(QDir::Files),
                 QStringList{QFileInfo(temporary).fileName()});
        QVERIFY(record.commit({"1.jpg"}));
        QVERIFY(!test::readFile(record.path()).contains("2.jpg"));
    }
};

QTEST_GUILESS_MAIN(TestChangeRecord)
#include "tst_changerecord.moc"
