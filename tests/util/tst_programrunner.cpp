#include "OutputCapture.h"
#include "TestSupport.h"
#include "platform/AppPaths.h"
#include "util/ProgramRunner.h"

#include <QtTest>

#include <csignal>

using namespace kivo;
using namespace std::chrono_literals;

namespace {

const QString kNone = QStringLiteral("<none>");

// Children of this process that have ended but were never reaped.
int zombieChildren()
{
    int zombies = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        const QByteArray line = test::readFile("/proc/" + pid + "/stat");
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        zombies += fields.size() > 1 && fields[0] == "Z" &&
                   fields[1] == QByteArray::number(QCoreApplication::applicationPid());
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
    void scripts_data()
    {
        // statusChecked: runThisShellScript
        // anyStatus: runShellScript2
        test::columns<QByteArray, QStringList, QString, QString>("body", "args", "statusChecked",
                                                                 "anyStatus");
        test::row("fails", QByteArray("printf abc\nexit 1"), QStringList(), "Task failed.", "abc");
        test::row("killed", QByteArray("printf partial; kill -9 $$"), QStringList(), "Task failed.",
                  "partial");
        test::row("quiet", QByteArray("exit 0"), QStringList(), "", "");
        // Arguments pass uninterpreted.
        const QString echoed = "<a b><$HOME><; rm -rf x><été><>";
        test::row("arguments", QByteArray("for a in \"$@\"; do printf '<%s>' \"$a\"; done"),
                  QStringList{"a b", "$HOME", "; rm -rf x", "été", ""}, echoed, echoed);
        test::row("not UTF-8", QByteArray("printf 'caf\\351'"), QStringList(), kNone, kNone);
    }

    void scripts()
    {
        const auto [body, args, statusChecked, anyStatus] =
            test::fetch<QByteArray, QStringList, QString, QString>("body", "args", "statusChecked",
                                                                   "anyStatus");
        const QString script = p(QTest::currentDataTag());
        QVERIFY(test::writeScript(script, body));
        QCOMPARE(runThisShellScript(script, args).value_or(kNone), statusChecked);
        QCOMPARE(runShellScript2(script, args).value_or(kNone), anyStatus);
    }

    void programsThatCannotStart()
    {
        QVERIFY(test::writeFile(p("not-executable.sh"), "#!/bin/sh\necho hi\n"));
        OutputCapture log;
        QVERIFY(!runThisShellScript(p("not-executable.sh")).has_value());
        QVERIFY(!runShellScript2(p("missing-program")).has_value());
        QVERIFY(!runThisShellScript(QString()).has_value());
    }

    void bundleScripts()
    {
        AppPaths::setPrefix(p("prefix"));
        auto restore = qScopeGuard([] { AppPaths::setPrefix(QString()); });
        const QString record = p("revealed.txt");
        QVERIFY(test::writeScript(AppPaths::libexecDir() + "/revealInFinder.sh",
                                  "printf '%s' \"$1\" > '" + record.toUtf8() + "'"));
        QVERIFY(test::writeScript(AppPaths::libexecDir() + "/touch.sh",
                                  "touch '" + p("touched").toUtf8() + "'"));
        QVERIFY(!runShellScript("touch.sh"));
        QVERIFY(QFileInfo::exists(p("touched")));
        QVERIFY(!runShellScript("no-such-script.sh"));
        QVERIFY(!runShellScript(QString()));

        QVERIFY(QDir().mkpath(QDir::homePath() + "/Photos of today"));
        revealItemInFinder("~/Photos of today");
        QCOMPARE(test::readFile(record), (QDir::homePath() + "/Photos of today").toUtf8());
    }

    void realRevealScriptRefusesNonFolders()
    {
        QVERIFY(test::writeFile(p("plain.txt"), "x"));
        QProcess proc;
        proc.start(AppPaths::auxiliaryExecutable("revealInFinder.sh"), {p("plain.txt")});
        QVERIFY2(proc.waitForFinished(10000), "build the kivo_resources target");
        QVERIFY(proc.exitCode() != 0);
        QVERIFY(proc.readAllStandardError().contains("not a folder"));
    }

    void shellCommandOutputLimit()
    {
        struct sigaction before = {}, after = {};
        QVERIFY(::sigaction(SIGCHLD, nullptr, &before) == 0);

        QCOMPARE(runShellCommand("head -c 600000 /dev/zero | tr '\\0' a").value_or(kNone),
                 QString(kShellCommandOutputLimit, 'a'));
        QCOMPARE(runShellCommand("printf 'one two'; exit 3").value_or(kNone), "one two");
        QVERIFY(!runShellCommand("true").has_value());

        // Endless writers end once the limit is reached, even one ignoring the signals.
        QCOMPARE(runShellCommand("yes")->size(), kShellCommandOutputLimit);
        QCOMPARE(
            runShellCommand("trap '' PIPE TERM; while :; do echo xxxxxxxxxxxxxxx; done")->size(),
            kShellCommandOutputLimit);
        // A background child holding the pipe does not hold us up.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(runShellCommand("sleep 5 2>/dev/null & echo started").value_or(kNone),
                 "started\n");
        QVERIFY(timer.elapsed() < 4000);

        QVERIFY(::sigaction(SIGCHLD, nullptr, &after) == 0);
        QVERIFY(after.sa_handler == before.sa_handler);
        QCOMPARE(after.sa_flags, before.sa_flags);
        QTRY_COMPARE(zombieChildren(), 0);
    }

    // A run past its time limit ends with what it started, even when both
    // ignore TERM: the caller waits about the limit, and the event is logged.
    void timeLimit()
    {
        const QByteArray child = p("child").toUtf8();
        QVERIFY(test::writeScript(p("stuck.sh"), "trap '' TERM; sleep 60 & echo $! >'" + child +
                                                     "'; printf early; wait"));
        OutputCapture log;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(runThisShellScript(p("stuck.sh"), {}, 300ms).value_or(kNone), "Task failed.");
        QCOMPARE(runShellScript2(p("stuck.sh"), {}, 300ms).value_or(kNone), kNone);
        QCOMPARE(runShellCommand("printf early; exec sleep 60", 300ms).value_or(kNone), "early");
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(log.text().count("still runs after its time limit of 300 ms"), 3);
        QTRY_VERIFY(!QFileInfo::exists("/proc/" + test::readFile(child).trimmed()));
    }

    void otherChildrenKeepTheirStatus()
    {
        // While a command runs, another thread's program still gets its exit status.
        QVERIFY(test::writeScript(p("fails.sh"), "exit 1"));
        std::optional<QString> concurrent;
        std::unique_ptr<QThread> worker(
            QThread::create([&] { concurrent = runThisShellScript(p("fails.sh")); }));
        worker->start();
        for (int i = 0; i < 5; ++i)
            runShellCommand("echo hi");
        QVERIFY(worker->wait(30000));
        QCOMPARE(concurrent.value_or(kNone), "Task failed.");
    }
};

QTEST_GUILESS_MAIN(TestProgramRunner)
#include "tst_programrunner.moc"
