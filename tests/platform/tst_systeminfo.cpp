#include "TestSupport.h"
#include "platform/SystemInfo.h"

#include <QtTest>

#include <sys/utsname.h>

using namespace kivo;

class TestSystemInfo : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_files = 0;

    QString file(const QByteArray &contents)
    {
        const QString path = m_dir.filePath(QString::number(++m_files));
        return test::writeFile(path, contents) ? path : QString();
    }

private slots:
    void hostModelAndArch()
    {
        struct utsname u = {};
        ::uname(&u);
        const QString arch = QStringLiteral(" (%1)").arg(u.machine);
        QCOMPARE(SystemInfo::hostModelAndArch(file("  OptiPlex 7010\n")), "OptiPlex 7010" + arch);
        QCOMPARE(SystemInfo::hostModelAndArch(file(" \n")), "Unknown" + arch);
        QCOMPARE(SystemInfo::hostModelAndArch(m_dir.filePath("missing")), "Unknown" + arch);
        QVERIFY(SystemInfo::hostModelAndArch().endsWith(arch)); // this machine
    }

    void osVersion()
    {
        QCOMPARE(SystemInfo::osVersion(file("NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                                            "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")),
                 "Debian GNU/Linux 12 (bookworm)");
        QCOMPARE(SystemInfo::osVersion(file("# comment\nVERSION_ID=12.5\n")), "12.5");
        QCOMPARE(SystemInfo::osVersion(file("PRETTY_NAME='Some \"OS\"'\n")), "Some \"OS\"");
        QCOMPARE(SystemInfo::osVersion(file("PRETTY_NAME=\"A \\\"quoted\\\" \\\\ name\"")),
                 "A \"quoted\" \\ name");
        QCOMPARE(SystemInfo::osVersion(file("XPRETTY_NAME=no\nNAME=x\n")), QString());
        QCOMPARE(SystemInfo::osVersion(m_dir.filePath("missing")), QString());
        QVERIFY(!SystemInfo::osVersion().isEmpty()); // this machine
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
