#include "OutputCapture.h"
#include "TestSupport.h"
#include "platform/AppPaths.h"
#include "util/ProgramRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace kivo;

namespace {

bool writeScript(const QString &path, const QByteArray &body)
{
    if (!test::writeFile(path, "#!/bin/sh\n" + body + "\n"))
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Children of this process that have ended but were never reaped.
int zombieChildren()
{
    int zombies = 0;
    const QString self = QString::number(::getpid());
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[0] == "Z" && fields[1] == self.toLatin1())
            ++zombies;
    }
    return zombies;
}

} // namespace

class TestProgramRunner : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString p(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeScript(p("fails.sh"), "printf abc\nexit 1"));
        QVERIFY(writeScript(p("quiet.sh"), "exit 0"));
        QVERIFY(writeScript(p("echo.sh"), "for a in \"$@\"; do printf '<%s>' \"$a\"; done"));
        QVERIFY(writeScript(p("latin1.sh"), "printf 'caf\\351'"));
        QVERIFY(writeScript(p("killed.sh"), "printf partial; kill -9 $$"));
    }

    void exitStatusTable()
    {
        QCOMPARE(runThisShellScript(p("fails.sh")), std::optional<QString>("Task failed."));
        QCOMPARE(runShellScript2(p("fails.sh")), std::optional<QString>("abc"));
        QCOMPARE(runThisShellScript(p("killed.sh")), std::optional<QString>("Task failed."));

        const std::optional<QString> quiet = runThisShellScript(p("quiet.sh"));
        QVERIFY(quiet.has_value());
        QCOMPARE(*quiet, QString());
        QCOMPARE(runShellScript2(p("quiet.sh")).value_or("none"), QString());
    }

    void argumentsPassUninterpreted()
    {
        const QStringList args{"a b", "$HOME", "; rm -rf x", "été", QString()};
        QCOMPARE(runThisShellScript(p("echo.sh"), args),
                 std::optional<QString>("<a b><$HOME><; rm -rf x><été><>"));
    }

    void noTextResults()
    {
        QVERIFY(!runShellScript2(p("latin1.sh")).has_value());
        QVERIFY(test::writeFile(p("not-executable.sh"), "#!/bin/sh\necho hi\n"));
        OutputCapture log;
        QVERIFY(!runThisShellScript(p("not-executable.sh")).has_value());
        QVERIFY(!runShellScript2(p("missing-program")).has_value());
    }

    void bundleScripts()
    {
        const QString prefix = p("prefix");
        AppPaths::setPrefix(prefix);
        auto restore = qScopeGuard([] { AppPaths::setPrefix(QString()); });
        const QString record = p("revealed.txt");
        QVERIFY(writeScript(AppPaths::libexecDir() + "/revealInFinder.sh",
                            "printf '%s' \"$1\" > '" + record.toUtf8() + "'"));
        QVERIFY(writeScript(AppPaths::libexecDir() + "/touch.sh",
                            "touch '" + p("touched").toUtf8() + "'"));

        QVERIFY(!runShellScript("touch.sh"));
        QVERIFY(QFileInfo::exists(p("touched")));
        QVERIFY(!runShellScript("no-such-script.sh"));
        QVERIFY(!runShellScript(QString()));

        QVERIFY(QDir().mkpath(QDir::homePath() + "/Photos of today"));
        revealItemInFinder("~/Photos of today");
        QFile recorded(record);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(recorded.readAll()), QDir::homePath() + "/Photos of today");
        recorded.close();
        QVERIFY(recorded.remove());
    }

    void realRevealScriptRefusesNonFolders()
    {
        const QString script = AppPaths::auxiliaryExecutable("revealInFinder.sh");
        QVERIFY2(!script.isEmpty(), "build the kivo_resources target");
        QVERIFY(test::writeFile(p("plain.txt"), "x"));
        QProcess proc;
        proc.start(script, {p("plain.txt")});
        QVERIFY(proc.waitForFinished(10000));
        QVERIFY(proc.exitCode() != 0);
        QVERIFY(proc.readAllStandardError().contains("not a folder"));
    }

    void shellCommandOutputLimit()
    {
        struct sigaction before
        {};
        QVERIFY(::sigaction(SIGCHLD, nullptr, &before) == 0);

        const std::optional<QString> big = runShellCommand("head -c 600000 /dev/zero | tr '\\0' a");
        QVERIFY(big.has_value());
        QCOMPARE(*big, QString(kShellCommandOutputLimit, 'a'));

        QCOMPARE(runShellCommand("printf 'one two'; exit 3"), std::optional<QString>("one two"));
        QVERIFY(!runShellCommand("true").has_value());

        // Endless writers end once the limit is reached, even one ignoring the signals.
        QCOMPARE(runShellCommand("yes")->size(), kShellCommandOutputLimit);
        QCOMPARE(
            runShellCommand("trap '' PIPE TERM; while :; do echo xxxxxxxxxxxxxxx; done")->size(),
            kShellCommandOutputLimit);
        // A background child holding the pipe does not hold us up.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(runShellCommand("sleep 5 2>/dev/null & echo started"),
                 std::optional<QString>("started\n"));
        QVERIFY(timer.elapsed() < 4000);

        struct sigaction after
        {};
        QVERIFY(::sigaction(SIGCHLD, nullptr, &after) == 0);
        QCOMPARE(reinterpret_cast<void *>(after.sa_handler),
                 reinterpret_cast<void *>(before.sa_handler));
        QCOMPARE(after.sa_flags, before.sa_flags);
        QTRY_COMPARE(zombieChildren(), 0);
    }

    void otherChildrenKeepTheirStatus()
    {
        // While a command runs, another thread's program still gets its exit status.
        std::optional<QString> concurrent;
        QThread *worker = QThread::create([&] { concurrent = runThisShellScript(p("fails.sh")); });
        worker->start();
        for (int i = 0; i < 5; ++i)
            runShellCommand("echo hi");
        QVERIFY(worker->wait(30000));
        delete worker;
        QCOMPARE(concurrent, std::optional<QString>("Task failed."));
    }
};

QTEST_GUILESS_MAIN(TestProgramRunner)
#include "tst_programrunner.moc"
