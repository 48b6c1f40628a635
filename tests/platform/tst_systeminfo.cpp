#include "platform/SystemInfo.h"

#include "TestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/utsname.h>

using namespace kivo;

class TestSystemInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name, const QByteArray &contents)
    {
        const QString path = m_dir.filePath(name);
        test::writeFile(path, contents);
        return path;
    }

    static QString machine()
    {
        struct utsname u = {};
        ::uname(&u);
        return QString::fromUtf8(u.machine);
    }

private slots:
    void hostModelAndArch()
    {
        QCOMPARE(SystemInfo::hostModelAndArch(file("product", "  OptiPlex 7010\n")),
                 "OptiPlex 7010 (" + machine() + ")");
        QCOMPARE(SystemInfo::hostModelAndArch(file("blank", " \n")), "Unknown (" + machine() + ")");
        QCOMPARE(SystemInfo::hostModelAndArch(m_dir.filePath("missing")),
                 "Unknown (" + machine() + ")");
        // This machine: whatever its model, the form holds.
        QVERIFY(QRegularExpression(QStringLiteral("^.+ \\(\\S+\\)$"))
                    .match(SystemInfo::hostModelAndArch())
                    .hasMatch());
    }

    void osVersion()
    {
        QCOMPARE(SystemInfo::osVersion(file("debian",
                                            "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                                            "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")),
                 QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
        QCOMPARE(SystemInfo::osVersion(file("versiononly", "# comment\nVERSION_ID=12.5\n")),
                 QStringLiteral("12.5"));
        QCOMPARE(SystemInfo::osVersion(file("quoted", "PRETTY_NAME='Some \"OS\"'\n")),
                 QStringLiteral("Some \"OS\""));
        QCOMPARE(
            SystemInfo::osVersion(file("escaped", "PRETTY_NAME=\"A \\\"quoted\\\" \\\\ name\"")),
            QStringLiteral("A \"quoted\" \\ name"));
        QCOMPARE(SystemInfo::osVersion(file("prefix", "XPRETTY_NAME=no\nNAME=x\n")), QString());
        QCOMPARE(SystemInfo::osVersion(m_dir.filePath("missing")), QString());
        if (QFile::exists(QStringLiteral("/etc/os-release")))
            QVERIFY(!SystemInfo::osVersion().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
