#include "TestSupport.h"

#include "app/Relauncher.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using kivo::AppPaths;
using kivo::Relauncher;

// The station side of the relaunch: which flags and sender a request gives,
// and that a missing tool never makes the station quit.
class TestRelauncher : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        AppPaths::setPrefix(m_prefix.path());
    }

    void parseRequest()
    {
        QObject button;
        Relauncher::Request r = Relauncher::parseRequest(
            QVariantMap{{QStringLiteral("LSLaunchFlags"), 768},
                        {QStringLiteral("sender"), QVariant::fromValue<QObject *>(&button)}});
        QCOMPARE(r.launchFlags, 768);
        QCOMPARE(r.sender.value<QObject *>(), &button);

        // Flags are taken as a long and truncated to 32 bits.
        r = Relauncher::parseRequest(
            QVariantMap{{QStringLiteral("LSLaunchFlags"), Q_INT64_C(0x100000300)}});
        QCOMPARE(r.launchFlags, 768);
        QVERIFY(!r.sender.isValid());

        // A button is itself the sender, with flags 1.
        r = Relauncher::parseRequest(QVariant::fromValue<QObject *>(&button));
        QCOMPARE(r.launchFlags, 1);
        QCOMPARE(r.sender.value<QObject *>(), &button);

        for (const QVariant &other : {QVariant(), QVariant(QStringLiteral("now")), QVariant(3)}) {
            r = Relauncher::parseRequest(other);
            QCOMPARE(r.launchFlags, 1);
            QVERIFY(!r.sender.isValid());
        }
    }

    void missingToolKeepsTheStationRunning()
    {
        QVERIFY(AppPaths::auxiliaryExecutable(QStringLiteral("relaunch")).isEmpty());
        bool quitCalled = false;
        QVERIFY(!Relauncher::relaunch(QVariantMap{{QStringLiteral("LSLaunchFlags"), 768}},
                                      [&](const QVariant &) { quitCalled = true; }));
        QVERIFY(!quitCalled);
    }

    void startsTheToolWithStationPidAndFlagsThenQuits()
    {
        const QString args = m_prefix.filePath(QStringLiteral("args"));
        const QString tool = AppPaths::libexecDir() + QStringLiteral("/relaunch");
        QVERIFY(kivo::test::writeFile(tool, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args.toUtf8() +
                                                ".tmp'\nmv '" + args.toUtf8() + ".tmp' '" +
                                                args.toUtf8() + "'\n"));
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QObject button;
        QVariant quitSender;
        int quits = 0;
        QVERIFY(Relauncher::relaunch(
            QVariant::fromValue<QObject *>(&button),
            [&](const QVariant &sender) {
                ++quits;
                quitSender = sender;
            },
            QStringLiteral("/opt/kivo/bin/kivo-slideshow")));
        QCOMPARE(quits, 1);
        QCOMPARE(quitSender.value<QObject *>(), &button);

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(args), 5000);
        QFile f(args);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        QCOMPARE(lines,
                 (QList<QByteArray>{"/opt/kivo/bin/kivo-slideshow",
                                    QByteArray::number(QCoreApplication::applicationPid()), "1"}));
    }
};

QTEST_GUILESS_MAIN(TestRelauncher)
#include "tst_relauncher.moc"
