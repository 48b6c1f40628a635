#include "OutputCapture.h"
#include "platform/DistributedNotificationCenter.h"

#include <QDBusMessage>
#include <QtTest>

using namespace kivo;

namespace {

const QString kSignal = QStringLiteral("org.kivo.DistributedNotification.Post");

bool dbusSend(const QString &member, const QStringList &args)
{
    const QStringList common{"--session", "--type=signal", "/some/path", member};
    return QProcess::execute("dbus-send", common + args) == 0;
}

bool haveBus()
{
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace

class TestDistributedNotifications : public QObject
{
    Q_OBJECT

    DistributedNotificationCenter m_center;
    QList<Notification> m_got;
    ObserverToken m_token;

private slots:
    void initTestCase()
    {
#ifdef __SANITIZE_THREAD__
        // Qt is not built with ThreadSanitizer, and its D-Bus thread hands
        // messages over through synchronisation it cannot see.
        QSKIP("Qt's D-Bus thread is not instrumented");
#endif
        if (!haveBus())
            return;
        QVERIFY(m_center.connectToSessionBus());
        m_token = m_center.addObserver({}, this, [this](const Notification &n) { m_got << n; });
    }

    void init()
    {
        m_got.clear();
    }

    void payloadsOfBothSignatures()
    {
        QVERIFY(dbusSend(kSignal, {"string:KivoPreviewerNotification",
                                   "dict:string:string:action,newCustomerSittingStarted,"
                                   "value, 12345678\n"}));
        QVERIFY(0 ==
                QProcess::execute(
                    "gdbus", {"emit", "--session", "--object-path", "/x", "--signal", kSignal,
                              "kivoXNotification",
                              "{'action': <'statusIsRecording'>, 'count': <int32 3>, 'big': "
                              "<uint64 5000000000>, 'flag': <true>, 'ratio': <0.5>, 'nested': "
                              "<{'inner': <<'v'>>}>, 'list': <['a', 'b']>, 'pair': <(1, 'x')>, "
                              "'path': <objectpath '/a/b'>, 'ints': <{7: 'seven'}>}"}));
        QTRY_COMPARE(m_got.size(), 2);
        QCOMPARE(m_got[0].name, "KivoPreviewerNotification");
        QCOMPARE(m_got[0].userInfo,
                 (QVariantMap{{"action", "newCustomerSittingStarted"}, {"value", " 12345678\n"}}));
        QVERIFY(m_got[0].object.toString().startsWith(u':')); // the sender's unique name
        QCOMPARE(m_got[1].userInfo, (QVariantMap{{"action", "statusIsRecording"},
                                                 {"count", 3},
                                                 {"big", Q_UINT64_C(5000000000)},
                                                 {"flag", true},
                                                 {"ratio", 0.5},
                                                 {"nested", QVariantMap{{"inner", "v"}}},
                                                 {"list", QVariantList{"a", "b"}},
                                                 {"pair", QVariantList{1, "x"}},
                                                 {"path", "/a/b"},
                                                 {"ints", QVariantMap{{"7", "seven"}}}}));
    }

    void ignoresOtherSignaturesMembersAndNames()
    {
        const QString name = "string:KivoSlideShowNotification", dict = "dict:string:string:a,b";
        const QList<QPair<QString, QStringList>> posts{
            {kSignal, {name}},
            {kSignal, {name, "int32:5"}},
            {kSignal, {name, "dict:string:int32:a,1"}},
            {kSignal, {"int32:1", dict}},
            {"org.kivo.DistributedNotification.Other", {name, dict}},
            {"org.kivo.Other.Post", {name, dict}},
            {kSignal, {"string:", dict}},
            {kSignal, {"string:kivoslideshownotification", dict}}, // names compare exactly
            {kSignal, {name, "dict:string:string:"}}};
        for (const auto &[member, args] : posts)
            QVERIFY(dbusSend(member, args));
        // Signals from one sender arrive in order: the last one marks the end.
        QTRY_COMPARE(m_got.size(), 2);
        QTest::qWait(100); // nothing else trickles in
        QCOMPARE(m_got.size(), 2);
        QCOMPARE(m_got[0].name, "kivoslideshownotification");
        QCOMPARE(m_got[1].name, "KivoSlideShowNotification");
        QVERIFY(m_got[1].userInfo.isEmpty());
    }

    void rejectsOversizedAndDeepPayloads()
    {
        // A second connection, so the signals come from another sender.
        QDBusConnection sender = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "tx");
        const auto post = [&](const QString &name, const QVariantMap &info) {
            QDBusMessage m =
                QDBusMessage::createSignal("/big", "org.kivo.DistributedNotification", "Post");
            QVERIFY(sender.send(m << name << info));
        };
        post("huge", {{"s", QString(2 << 20, u'x')}});
        QVariantMap many;
        for (int i = 0; i < 5000; ++i)
            many.insert(QString::number(i), i);
        post("many", many);
        QVariant deep = "bottom";
        for (int i = 0; i < 20; ++i)
            deep = QVariantMap{{"d", deep}};
        post("deep", deep.toMap());
        post(QString(300, u'n'), {});
        post("fine", {{"bytes", QByteArray("\x00\x01", 2)}});
        QDBusConnection::disconnectFromBus("tx");

        QTRY_COMPARE(m_got.size(), 1);
        QCOMPARE(m_got[0].name, "fine");
        QCOMPARE(m_got[0].userInfo.value("bytes").toByteArray(), QByteArray("\x00\x01", 2));
    }

    void withoutBus()
    {
        if (haveBus())
            QSKIP("checked before the private bus started");
        OutputCapture log;
        DistributedNotificationCenter center;
        QVERIFY(!center.connectToSessionBus());
        QVERIFY(!center.isConnected());
        QVERIFY(log.text().contains("No D-Bus session bus"));
    }
};

// Without a session bus it checks the station runs on without one, then runs
// itself again under a private bus.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestDistributedNotifications test;
    if (haveBus())
        return QTest::qExec(&test, argc, argv);
    if (QTest::qExec(&test, {argv[0], "withoutBus"}) != 0)
        return 1;
    return QProcess::execute("dbus-run-session", QStringList{"--"} + app.arguments());
}

#include "tst_distributednotifications.moc"
