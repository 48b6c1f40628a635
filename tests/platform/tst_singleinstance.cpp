#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using namespace kivo;

namespace {

const QString kName = QStringLiteral("kivo-slideshow");

// The test program doubles as a second copy of the station: with
// KIVO_SI_MODE=probe it tries to start once and reports its role and how long
// that took; with KIVO_SI_MODE=hold it starts and stays until killed.
int runAsCopy(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(kName, qEnvironmentVariable("KIVO_SI_DIR"));
    QElapsedTimer timer;
    timer.start();
    const SingleInstance::Role role = instance.start();
    std::printf("role=%d ms=%lld other=%lld\n", int(role), timer.elapsed(),
                instance.otherProcessId());
    std::fflush(stdout);
    if (qgetenv("KIVO_SI_MODE") == "hold")
        return app.exec();
    return 0;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QProcess *startCopy(const QByteArray &mode)
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIVO_SI_MODE"), QString::fromLatin1(mode));
        env.insert(QStringLiteral("KIVO_SI_DIR"), m_dir.path());
        p->setProcessEnvironment(env);
        p->start(QCoreApplication::applicationFilePath());
        return p;
    }

    // Runs a probing copy; gives its report line.
    QByteArray probe()
    {
        QProcess *p = startCopy("probe");
        p->waitForFinished(10000);
        const QByteArray out = p->readAllStandardOutput().trimmed();
        delete p;
        return out;
    }

    static int role(SingleInstance::Role r) { return int(r); }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void secondCopyActivatesTheFirst()
    {
        SingleInstance first(kName, m_dir.path());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        QCOMPARE(first.start(), SingleInstance::Role::First);
        QVERIFY(QFileInfo::exists(first.lockFilePath()));

        const QByteArray report = probe();
        QVERIFY2(
            report.startsWith("role=" + QByteArray::number(role(SingleInstance::Role::Second))),
            report);
        QVERIFY2(
            report.endsWith(" other=" + QByteArray::number(QCoreApplication::applicationPid())),
            report);
        const int ms = report.split(' ').at(1).mid(3).toInt();
        QVERIFY2(ms < 1000, report);
        QTRY_COMPARE(activated.count(), 1);

        // Junk on the socket is not an activation request.
        QProcess junk;
        junk.start(QStringLiteral("python3"),
                   {QStringLiteral("-c"),
                    QStringLiteral("import socket,sys; s=socket.socket(socket.AF_UNIX); "
                                   "s.connect(sys.argv[1]); s.sendall(b'activatE\\n'); s.close()"),
                    first.socketPath()});
        junk.waitForFinished(5000);
        QTest::qWait(100);
        QCOMPARE(activated.count(), 1);
    }

    void lockOfDeadCopyDoesNotBlock()
    {
        QProcess *holder = startCopy("hold");
        QVERIFY(holder->waitForReadyRead(10000));
        QVERIFY(holder->readAllStandardOutput().startsWith(
            "role=" + QByteArray::number(role(SingleInstance::Role::First))));
        holder->kill(); // SIGKILL: lock and socket files stay behind
        QVERIFY(holder->waitForFinished(5000));
        delete holder;
        QVERIFY(QFileInfo::exists(m_dir.path() + "/kivo-slideshow.lock"));

        SingleInstance next(kName, m_dir.path());
        QSignalSpy activated(&next, &SingleInstance::activationRequested);
        QCOMPARE(next.start(), SingleInstance::Role::First);
        // and it listens on the socket the dead copy left
        QVERIFY(
            probe().startsWith("role=" + QByteArray::number(role(SingleInstance::Role::Second))));
        QTRY_COMPARE(activated.count(), 1);
    }

    void unusableLockFilesDoNotBlock_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("garbage") << QByteArray("\xff\xfe not a lock");
        // A process id that now belongs to another program.
        QTest::newRow("reused pid")
            << "1\nkivo-slideshow\n" + QSysInfo::machineHostName().toUtf8() + "\n";
    }

    void unusableLockFilesDoNotBlock()
    {
        QFETCH(QByteArray, contents);
        SingleInstance instance(kName, m_dir.path());
        QFile lock(instance.lockFilePath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(contents);
        lock.close();
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(instance.start(), SingleInstance::Role::First);
        QVERIFY(timer.elapsed() < 1000);
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("KIVO_SI_MODE"))
        return runAsCopy(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
