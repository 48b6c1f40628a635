#include "platform/DistributedNotificationCenter.h"
#include "station/NotificationNames.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace kivo;

namespace {

const QString kSignal = QStringLiteral("org.kivo.DistributedNotification.Post");

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool dbusSend(const QString &path, const QString &member, const QStringList &args)
{
    return run(
        QStringLiteral("dbus-send"),
        QStringList{QStringLiteral("--session"), QStringLiteral("--type=signal"), path, member} +
            args);
}

bool gdbusEmit(const QString &name, const QString &userInfo)
{
    return run(QStringLiteral("gdbus"), {QStringLiteral("emit"), QStringLiteral("--session"),
                                         QStringLiteral("--object-path"), QStringLiteral("/x"),
                                         QStringLiteral("--signal"), kSignal, name, userInfo});
}

bool haveBus()
{
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace

class TestDistributedNotifications : public QObject
{
    Q_OBJECT

    struct Received
    {
        Notification notification;
        bool onMainThread = false;
    };

    // Records every notification the centre delivers.
    ObserverToken record(DistributedNotificationCenter &center, const QString &name,
                         std::vector<Received> &into)
    {
        return center.addObserver(name, [&into](const Notification &n) {
            into.push_back({n, QThread::currentThread() == QCoreApplication::instance()->thread()});
        });
    }

    // A second connection to the same bus, so signals come from another sender.
    QDBusConnection senderConnection()
    {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                             QStringLiteral("test-sender"));
    }

private slots:
    void initTestCase()
    {
#ifdef __SANITIZE_THREAD__
        // Qt is not built with ThreadSanitizer, and its D-Bus thread hands
        // messages over through synchronisation it cannot see.
        QSKIP("Qt's D-Bus thread is not instrumented");
#endif
    }

    void init()
    {
        if (!haveBus() && QByteArray(QTest::currentTestFunction()) != "withoutBus")
            QSKIP("needs a session bus");
    }

    void dbusSendStringDictionary()
    {
        DistributedNotificationCenter center;
        QVERIFY(center.connectToSessionBus());
        std::vector<Received> got;
        auto token = record(center, distributedNotification::KivoPreviewerNotification, got);

        QVERIFY(dbusSend(QStringLiteral("/some/path"), kSignal,
                         {QStringLiteral("string:KivoPreviewerNotification"),
                          QStringLiteral("dict:string:string:action,newCustomerSittingStarted,"
                                         "value, 12345678\n")}));
        QTRY_COMPARE(got.size(), size_t(1));
        const Notification &n = got[0].notification;
        QVERIFY(got[0].onMainThread);
        QCOMPARE(n.name, QStringLiteral("KivoPreviewerNotification"));
        QCOMPARE(
            n.userInfo,
            (QVariantMap{{QStringLiteral("action"), QStringLiteral("newCustomerSittingStarted")},
                         {QStringLiteral("value"), QStringLiteral(" 12345678\n")}}));
        QVERIFY(n.object.toString().startsWith(u':')); // the sender's unique name
    }

    void gdbusEmitVariantDictionary()
    {
        DistributedNotificationCenter center;
        QVERIFY(center.connectToSessionBus());
        std::vector<Received> got;
        auto token = record(center, distributedNotification::kivoXNotification, got);

        QVERIFY(gdbusEmit(QStringLiteral("kivoXNotification"),
                          QStringLiteral("{'action': <'statusIsRecording'>, 'senderApp': "
                                         "<'Kivo-Video.app'>, 'count': <int32 3>, 'big': <uint64 "
                                         "5000000000>, 'flag': <true>, 'ratio': <0.5>, 'nested': "
                                         "<{'inner': <<'v'>>}>, 'list': <['a', 'b']>, 'pair': "
                                         "<(1, 'x')>, 'path': <objectpath '/a/b'>, 'ints': <{7: "
                                         "'seven'}>}")));
        QTRY_COMPARE(got.size(), size_t(1));
        QVERIFY(got[0].onMainThread);
        const QVariantMap info = got[0].notification.userInfo;
        QCOMPARE(info.value("action"), QVariant(QStringLiteral("statusIsRecording")));
        QCOMPARE(info.value("senderApp"), QVariant(QStringLiteral("Kivo-Video.app")));
        QCOMPARE(info.value("count"), QVariant(3));
        QCOMPARE(info.value("big").toULongLong(), 5000000000ULL);
        QCOMPARE(info.value("flag"), QVariant(true));
        QCOMPARE(info.value("ratio").toDouble(), 0.5);
        QCOMPARE(info.value("nested"),
                 QVariant(QVariantMap{{QStringLiteral("inner"), QStringLiteral("v")}}));
        QCOMPARE(info.value("list"),
                 QVariant(QVariantList{QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(info.value("pair"), QVariant(QVariantList{1, QStringLiteral("x")}));
        QCOMPARE(info.value("path"), QVariant(QStringLiteral("/a/b")));
        QCOMPARE(info.value("ints"),
                 QVariant(QVariantMap{{QStringLiteral("7"), QStringLiteral("seven")}}));
    }

    void ignoresOtherSignaturesMembersAndNames()
    {
        DistributedNotificationCenter center;
        QVERIFY(center.connectToSessionBus());
        std::vector<Received> all, exact;
        auto allToken = record(center, {}, all);
        auto exactToken = record(center, distributedNotification::KivoSlideShowNotification, exact);

        const QString path = QStringLiteral("/org/kivo/Other");
        const QString name = QStringLiteral("string:KivoSlideShowNotification");
        QVERIFY(dbusSend(path, kSignal, {name}));
        QVERIFY(dbusSend(path, kSignal, {name, QStringLiteral("int32:5")}));
        QVERIFY(dbusSend(path, kSignal, {name, QStringLiteral("dict:string:int32:a,1")}));
        QVERIFY(dbusSend(path, kSignal,
                         {QStringLiteral("int32:1"), QStringLiteral("dict:string:string:a,b")}));
        QVERIFY(dbusSend(path, QStringLiteral("org.kivo.DistributedNotification.Other"),
                         {name, QStringLiteral("dict:string:string:a,b")}));
        QVERIFY(dbusSend(path, QStringLiteral("org.kivo.Other.Post"),
                         {name, QStringLiteral("dict:string:string:a,b")}));
        QVERIFY(dbusSend(path, kSignal,
                         {QStringLiteral("string:"), QStringLiteral("dict:string:string:a,b")}));
        QVERIFY(dbusSend(path, kSignal,
                         {QStringLiteral("string:kivoslideshownotification"),
                          QStringLiteral("dict:string:string:a,b")}));
        QVERIFY(dbusSend(path, kSignal, {name, QStringLiteral("dict:string:string:")}));

        // Signals from one sender arrive in order: the last one marks the end.
        QTRY_COMPARE(all.size(), size_t(2));
        QTest::qWait(100); // nothing else trickles in
        QCOMPARE(all.size(), size_t(2));
        QCOMPARE(all[0].notification.name, QStringLiteral("kivoslideshownotification"));
        QCOMPARE(all[1].notification.name, QStringLiteral("KivoSlideShowNotification"));
        QCOMPARE(exact.size(), size_t(1));
        QVERIFY(exact[0].notification.userInfo.isEmpty());
    }

    void rejectsOversizedAndDeepPayloads()
    {
        DistributedNotificationCenter center;
        QVERIFY(center.connectToSessionBus());
        std::vector<Received> got;
        auto token = record(center, {}, got);
        QDBusConnection sender = senderConnection();
        QVERIFY(sender.isConnected());
        const auto post = [&](const QString &name, const QVariantMap &info) {
            QDBusMessage m = QDBusMessage::createSignal(
                QStringLiteral("/big"), QStringLiteral("org.kivo.DistributedNotification"),
                QStringLiteral("Post"));
            m << name << info;
            QVERIFY(sender.send(m));
        };

        post(QStringLiteral("huge"), {{QStringLiteral("s"), QString(2 << 20, u'x')}});
        QVariantMap many;
        for (int i = 0; i < 5000; ++i)
            many.insert(QString::number(i), i);
        post(QStringLiteral("many"), many);
        QVariant deep = QStringLiteral("bottom");
        for (int i = 0; i < 20; ++i)
            deep = QVariantMap{{QStringLiteral("d"), deep}};
        post(QStringLiteral("deep"), deep.toMap());
        post(QString(300, u'n'), {});
        post(QStringLiteral("fine"), {{QStringLiteral("bytes"), QByteArray("\x00\x01", 2)}});
        sender.disconnectFromBus(QStringLiteral("test-sender"));

        QTRY_COMPARE(got.size(), size_t(1));
        QCOMPARE(got[0].notification.name, QStringLiteral("fine"));
        QCOMPARE(got[0].notification.userInfo.value("bytes").toByteArray(),
                 QByteArray("\x00\x01", 2));
    }

    void observersFollowTheirTokens()
    {
        DistributedNotificationCenter center;
        QVERIFY(center.connectToSessionBus());
        std::vector<Received> first, second;
        auto a = record(center, QStringLiteral("N"), first);
        {
            auto b = record(center, QStringLiteral("N"), second);
            QVERIFY(gdbusEmit(QStringLiteral("N"), QStringLiteral("@a{sv} {}")));
            QTRY_COMPARE(second.size(), size_t(1));
        }
        QVERIFY(gdbusEmit(QStringLiteral("N"), QStringLiteral("@a{sv} {}")));
        QTRY_COMPARE(first.size(), size_t(2));
        QCOMPARE(second.size(), size_t(1));
    }

    void withoutBus()
    {
        if (qEnvironmentVariableIsSet("KIVO_TEST_NO_BUS")) {
            DistributedNotificationCenter center;
            QVERIFY(!center.connectToSessionBus());
            QVERIFY(!center.isConnected());
            return;
        }
        // Run this function again in a child that has no bus and check its log.
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("KIVO_TEST_NO_BUS"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("withoutBus")});
        QVERIFY(child.waitForFinished(20000));
        const QByteArray err = child.readAllStandardError();
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput() + err);
        QVERIFY2(err.contains("No D-Bus session bus"), err);
    }
};

// Runs under a private session bus: without one it starts itself again
// under dbus-run-session (unless KIVO_TEST_NO_BUS asks for no bus at all).
int main(int argc, char *argv[])
{
    if (!haveBus() && !qEnvironmentVariableIsSet("KIVO_TEST_NO_BUS") &&
        !qEnvironmentVariableIsSet("KIVO_TEST_REEXEC")) {
        ::setenv("KIVO_TEST_REEXEC", "1", 1);
        std::vector<char *> args{const_cast<char *>("dbus-run-session"), const_cast<char *>("--")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        std::perror("dbus-run-session");
        return 1;
    }
    QCoreApplication app(argc, argv);
    TestDistributedNotifications test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_distributednotifications.moc"
