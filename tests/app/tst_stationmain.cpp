#include <QProcess>
#include <QtTest>

// The installed command line: --help and --version work without a display.
class TestStationMain : public QObject
{
    Q_OBJECT
private slots:
    void versionAndHelp()
    {
        const QString exe = QStringLiteral(KIVO_BUILD_DIR "/bin/kivo-slideshow");
        QProcess p;
        p.start(exe, {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("kivo-slideshow " KIVO_VERSION));

        p.start(exe, {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("--version"));

        p.start(exe, {QStringLiteral("--no-such-option")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStationMain)
#include "tst_stationmain.moc"
