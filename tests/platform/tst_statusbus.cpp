#include "platform/StatusBus.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace kivo;

class TestStatusBus : public QObject
{
    Q_OBJECT

    // gdbus run without blocking the event loop that answers it.
    static QString gdbus(const QString &command, const QStringList &args = {})
    {
        QProcess process;
        process.start(QStringLiteral("gdbus"),
                      QStringList{command, QStringLiteral("--session"), QStringLiteral("--dest"),
                                  StatusBus::kService, QStringLiteral("--object-path"),
                                  StatusBus::kPath} +
                          args);
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
            return QStringLiteral("timed out");
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
#ifdef __SANITIZE_THREAD__
        QSKIP("Qt's D-Bus thread is not instrumented");
#endif
    }

    // Asked from outside the process, it gives the provider's status; its
    // interface introspects; a burst of announcements makes one signal at
    // once and one, with the newest status, a second later.
    void answersIntrospectsAndFoldsAnnouncements()
    {
        QCOMPARE(StatusBus::ask(2000).outcome, StatusBus::Outcome::NotRunning);
        int asked = 0;
        StatusBus bus([&asked] { return QStringLiteral("{\"n\":%1}").arg(++asked); });
        QVERIFY(bus.start());
        QCOMPARE(gdbus("call", {"--method", "org.kivo.SlideShow1.GetStatus"}).trimmed(),
                 QStringLiteral("('{\"n\":1}',)"));
        const QString xml = gdbus("introspect", {"--xml"});
        QVERIFY2(xml.contains("<interface name=\"org.kivo.SlideShow1\">") &&
                     xml.contains("<method name=\"GetStatus\">") &&
                     xml.contains("<signal name=\"StatusChanged\">"),
                 qPrintable(xml));

        QSignalSpy spy(&bus, &StatusBus::StatusChanged);
        for (int i = 0; i < 3; ++i)
            bus.announce();
        QCOMPARE(spy.size(), 1);
        QVERIFY(spy.wait(3000));
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("{\"n\":%1}").arg(asked));
    }
};

// Runs itself again under a private bus.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestStatusBus test;
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QTest::qExec(&test, argc, argv);
    return QProcess::execute("dbus-run-session", QStringList{"--"} + app.arguments());
}
#include "tst_statusbus.moc"
