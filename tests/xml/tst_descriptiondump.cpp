#include "xml/TestParser.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The support command, run as the installed program is: no display needed.
class TestDescriptionDump : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    static Run dump(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral(KIVO_BUILD_DIR "/bin/kivo-slideshow"),
                {QStringLiteral("--dump-description"), path});
        Run run;
        if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit)
            return run;
        run.exitCode = p.exitCode();
        run.out = p.readAllStandardOutput();
        run.err = p.readAllStandardError();
        return run;
    }

private slots:
    void printsWhatTheConsoleReads()
    {
        const QString path = QStringLiteral(KIVO_TEST_DATA_DIR "/xml/description-2k.xml");
        const Run run = dump(path);
        QCOMPARE(run.exitCode, 0);
        QJsonParseError error;
        const QJsonDocument json = QJsonDocument::fromJson(run.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.object().toVariantMap(), *kivo::testParser(path));
        QVERIFY(run.out.contains("\n    \"code\": \"20240517A0042\"")); // indented
    }

    void malformedIsEmptyObject()
    {
        const QString path = mDir.filePath("bad.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<data><code>1</data>");
        file.close();
        const Run run = dump(path);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QByteArray("{\n}"));
        QVERIFY(run.err.contains("parseError"));
    }

    void missingOrUnreadableFails()
    {
        Run run = dump(mDir.filePath("absent.xml"));
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains("absent.xml: no such file"));

        run = dump(mDir.path());
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("not a regular file"));
    }
};

QTEST_GUILESS_MAIN(TestDescriptionDump)
#include "tst_descriptiondump.moc"
