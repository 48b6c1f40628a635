#include "TestSupport.h"
#include "xml/TestParser.h"

#include <QtTest>

using namespace kivo;

// The support command, run as the installed program is: no display needed.
class TestDescriptionDump : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void dump_data()
    {
        // out: the start of the standard output
        // err: a part of the standard error
        test::columns<QString, int, QByteArray, QByteArray>("path", "exitCode", "out", "err");
        QVERIFY(test::writeFile(m_dir.filePath("bad.xml"), "<data><code>1</data>"));
        test::row("description", KIVO_TEST_DATA_DIR "/xml/description-2k.xml", 0,
                  QByteArray("{\n    \""), QByteArray());
        test::row("malformed", m_dir.filePath("bad.xml"), 0, QByteArray("{\n}"),
                  QByteArray("parseError"));
        test::row("absent", m_dir.filePath("absent.xml"), 1, QByteArray(),
                  QByteArray("absent.xml: no such file"));
        test::row("folder", m_dir.path(), 1, QByteArray(), QByteArray("not a regular file"));
    }

    void dump()
    {
        const auto [path, exitCode, out, err] =
            test::fetch<QString, int, QByteArray, QByteArray>("path", "exitCode", "out", "err");
        QProcess p;
        p.start(KIVO_BUILD_DIR "/bin/kivo-slideshow", {"--dump-description", path});
        QVERIFY(p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const QByteArray printed = p.readAllStandardOutput();
        QCOMPARE(printed.left(out.size()), out);
        QVERIFY(out.isEmpty() == printed.isEmpty());
        QVERIFY(p.readAllStandardError().contains(err));
        if (exitCode == 0) {
            // Indented JSON of what the console reads.
            QJsonParseError error;
            const QJsonDocument json = QJsonDocument::fromJson(printed, &error);
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(json.object().toVariantMap(), *testParser(path));
        }
    }
};

QTEST_GUILESS_MAIN(TestDescriptionDump)
#include "tst_descriptiondump.moc"
