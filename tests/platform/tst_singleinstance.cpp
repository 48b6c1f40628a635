#include "TestSupport.h"
#include "platform/SingleInstance.h"

#include <QLocalSocket>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace kivo;

namespace {

const QString kName = QStringLiteral("kivo-slideshow");

QByteArray roleIs(SingleInstance::Role role)
{
    return "role=" + QByteArray::number(int(role));
}

} // namespace

// The test program doubles as a second copy of the station: with KIVO_SI_MODE
// set it starts once and prints its role, how long that took and the other
// copy's process id; with KIVO_SI_MODE=hold it then stays until killed.
class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QProcess *startCopy(const QString &mode)
    {
        auto *p = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIVO_SI_MODE", mode);
        env.insert("KIVO_SI_DIR", m_dir.path());
        p->setProcessEnvironment(env);
        p->start(QCoreApplication::applicationFilePath());
        return p;
    }

    QByteArray probe()
    {
        std::unique_ptr<QProcess> p(startCopy("probe"));
        p->waitForFinished(10000);
        return p->readAllStandardOutput().trimmed();
    }

private slots:
    void lockOfDeadCopyDoesNotBlockAndSecondCopyActivates()
    {
        std::unique_ptr<QProcess> holder(startCopy("hold"));
        QVERIFY(holder->waitForReadyRead(10000));
        QVERIFY(holder->readAllStandardOutput().startsWith(roleIs(SingleInstance::Role::First)));
        holder->kill(); // SIGKILL: lock and socket files stay behind
        QVERIFY(holder->waitForFinished(5000));
        QVERIFY(QFileInfo::exists(m_dir.path() + "/kivo-slideshow.lock"));

        SingleInstance first(kName, m_dir.path());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        QCOMPARE(first.start(), SingleInstance::Role::First);
        // It listens on the socket the dead copy left: a second copy learns who
        // runs, asks it to come to the front and is told so within a second.
        const QByteArray report = probe();
        QVERIFY2(report.startsWith(roleIs(SingleInstance::Role::Second)), report);
        QVERIFY2(
            report.endsWith(" other=" + QByteArray::number(QCoreApplication::applicationPid())),
            report);
        QVERIFY2(report.split(' ').at(1).mid(3).toInt() < 1000, report);
        QTRY_COMPARE(activated.count(), 1);

        // Junk on the socket is not an activation request.
        QLocalSocket junk;
        junk.connectToServer(first.socketPath());
        QVERIFY(junk.waitForConnected(5000));
        junk.write("activatE\n");
        junk.waitForBytesWritten(5000);
        junk.disconnectFromServer();
        QTest::qWait(100);
        QCOMPARE(activated.count(), 1);
    }

    void unusableLockFilesDoNotBlock()
    {
        // Garbage, and a process id that now belongs to another program.
        for (const QByteArray &contents :
             {QByteArray("\xff\xfe not a lock"),
              "1\nkivo-slideshow\n" + QSysInfo::machineHostName().toUtf8() + "\n"}) {
            SingleInstance instance(kName, m_dir.path());
            QVERIFY(test::writeFile(instance.lockFilePath(), contents));
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(instance.start(), SingleInstance::Role::First);
            QVERIFY(timer.elapsed() < 1000);
        }
    }

    // A folder that someone else owns or can enter may hold a squatter's
    // socket: the guard is left off rather than trusting it.
    void onlyAPrivateFolderIsTrusted()
    {
        const QByteArray dir = QFile::encodeName(m_dir.path() + "/runtime");
        QVERIFY(::mkdir(dir.constData(), 0700) == 0);
        for (const mode_t mode : {0777, 0710}) {
            QVERIFY(::chmod(dir.constData(), mode) == 0);
            QCOMPARE(SingleInstance(kName, dir).start(), SingleInstance::Role::Unavailable);
        }
        if (::chown(dir.constData(), 65534, gid_t(-1)) == 0) // only as root
            QCOMPARE(SingleInstance(kName, dir).start(), SingleInstance::Role::Unavailable);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("KIVO_SI_MODE")) {
        TestSingleInstance test;
        return QTest::qExec(&test, argc, argv);
    }
    SingleInstance instance(kName, qEnvironmentVariable("KIVO_SI_DIR"));
    QElapsedTimer timer;
    timer.start();
    const SingleInstance::Role role = instance.start();
    std::printf("%s ms=%lld other=%lld\n", roleIs(role).constData(), timer.elapsed(),
                instance.otherProcessId());
    std::fflush(stdout);
    return qgetenv("KIVO_SI_MODE") == "hold" ? app.exec() : 0;
}

#include "tst_singleinstance.moc"
