#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The `relaunch` executable: waits for the given process to end, then starts
// the station again.
class TestRelaunchTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QString tool()
    {
        return QStringLiteral(KIVO_BUILD_DIR "/libexec/kivo-slideshow/relaunch");
    }

    // A stand-in station that records when it was started and with what.
    QString writeStation(const QString &path)
    {
        const QString marker = m_dir.filePath(QStringLiteral("started"));
        const QByteArray script = "#!/bin/sh\necho \"started $#\" > '" + marker.toUtf8() + "'\n";
        if (!kivo::test::writeFile(path, script))
            return {};
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return marker;
    }

    static bool waitForFile(const QString &path, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(path) && t.elapsed() < ms)
            QThread::msleep(20);
        return QFileInfo::exists(path);
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { QFile::remove(m_dir.filePath(QStringLiteral("started"))); }

    void waitsForTheProcessThenStartsTheStation()
    {
        const QString station = m_dir.filePath(QStringLiteral("station"));
        const QString marker = writeStation(station);
        QVERIFY(!marker.isEmpty());

        QProcess sleeper;
        sleeper.start(QStringLiteral("sleep"), {QStringLiteral("1")});
        QVERIFY(sleeper.waitForStarted());

        QProcess relaunch;
        relaunch.start(tool(),
                       {station, QString::number(sleeper.processId()), QStringLiteral("768")});
        QVERIFY(relaunch.waitForStarted());

        // Nothing is started while the process lives.
        QElapsedTimer alive;
        alive.start();
        while (sleeper.state() != QProcess::NotRunning && alive.elapsed() < 5000) {
            QVERIFY2(!QFileInfo::exists(marker), "station started while the old one ran");
            sleeper.waitForFinished(20);
        }
        QCOMPARE(sleeper.state(), QProcess::NotRunning);

        QVERIFY(relaunch.waitForFinished(10000));
        QCOMPARE(relaunch.exitCode(), 0);
        QVERIFY(waitForFile(marker, 5000));
        QFile f(marker);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().trimmed(), QByteArray("started 0"));
        const QByteArray log = relaunch.readAllStandardError();
        QVERIFY2(log.contains("launch flags [768]"), log.constData());
    }

    void prefixGivenStartsItsStation()
    {
        const QString prefix = m_dir.filePath(QStringLiteral("prefix"));
        const QString marker = writeStation(prefix + QStringLiteral("/bin/kivo-slideshow"));

        // No such process: the station starts at once.
        QProcess relaunch;
        relaunch.start(tool(), {prefix, QStringLiteral("999999999"), QStringLiteral("1")});
        QVERIFY(relaunch.waitForFinished(10000));
        QCOMPARE(relaunch.exitCode(), 0);
        QVERIFY(waitForFile(marker, 5000));
    }

    void refusesBadArgumentsAndMissingStation()
    {
        QProcess p;
        p.start(tool(), {QStringLiteral("/nowhere")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);

        p.start(tool(), {QStringLiteral("/nowhere"), QStringLiteral("abc"), QStringLiteral("1")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);

        p.start(tool(), {m_dir.filePath(QStringLiteral("no-station")), QStringLiteral("999999999"),
                         QStringLiteral("1")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("cannot start"));
    }
};

QTEST_GUILESS_MAIN(TestRelaunchTool)
#include "tst_relaunchtool.moc"
