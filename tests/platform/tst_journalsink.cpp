#include "platform/JournalSink.h"
#include "platform/Log.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <cstdio>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kivo;

namespace {
Q_LOGGING_CATEGORY(lcTest, "kivo.test")
const char kSocket[] = "/run/systemd/journal/socket";
} // namespace

// Runs in a mount namespace of its own, where a tmpfs over /run holds
// a datagram socket in journald's place.
class TestJournalSink : public QObject
{
    Q_OBJECT

    int m_socket = -1;

    QByteArray received()
    {
        char buffer[8192];
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(QFileInfo(kSocket).path()));
        m_socket = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, kSocket);
        QVERIFY(::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    }

    // Only under the service manager, only warnings and errors, with their fields.
    void sendsWarningsWithTheirFields()
    {
        JournalSink::enableIfUnderServiceManager();
        logWarning(lcTest(), QStringLiteral("not sent"));
        QCOMPARE(received(), QByteArray());
        qputenv("INVOCATION_ID", "0123");
        JournalSink::enableIfUnderServiceManager();
        logLine(lcTest(), QStringLiteral("an ordinary line"));
        logWarning(lcTest(), QStringLiteral("store gone"), {1, QStringLiteral("0412")});
        QCOMPARE(received(),
                 QByteArray("MESSAGE=store gone\nPRIORITY=4\n"
                            "SYSLOG_IDENTIFIER=kivo-slideshow\nKIVO_CATEGORY=kivo.test\n"
                            "KIVO_DISPLAY=1\nKIVO_CODE=0412\n"));
        logError(lcTest(), QStringLiteral("broken"));
        QVERIFY(received().startsWith("MESSAGE=broken\nPRIORITY=3\n"));
        QCOMPARE(received(), QByteArray());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestJournalSink test;
    if (qEnvironmentVariableIsSet("KIVO_TEST_OWN_RUN"))
        return QTest::qExec(&test, argc, argv);
    if (QProcess::execute("unshare", {"--mount", "true"}) != 0) {
        std::puts("SKIP: no mount namespace to stand in for journald");
        return 0;
    }
    qputenv("KIVO_TEST_OWN_RUN", "1");
    qunsetenv("INVOCATION_ID");
    qunsetenv("JOURNAL_STREAM");
    return QProcess::execute(
        "unshare",
        QStringList{"--mount", "sh", "-c", "mount -t tmpfs kivo-test /run && exec \"$0\" \"$@\""} +
            app.arguments());
}

#include "tst_journalsink.moc"
