#include "TestSupport.h"

#include "app/AppLog.h"
#include "app/BRLogFileManager.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

using namespace kivo;

// The day's log file and the removal of old ones.
class TestBRLogFileManager : public QObject
{
    Q_OBJECT

    QString m_logs;
    QString m_outside;

    static bool makeFile(const QString &path, int daysOld)
    {
        QFile f(path);
        return test::writeFile(path, "log line\n") && f.open(QIODevice::ReadWrite) &&
               f.setFileTime(QDateTime::currentDateTime().addDays(-daysOld),
                             QFileDevice::FileModificationTime);
    }

    static bool exists(const QString &path)
    {
        return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Kivo"));
        m_logs = BRLogFileManager::logFolder();
        m_outside = QDir::homePath() + QStringLiteral("/outside");
        QCOMPARE(m_logs, qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/Kivo/Logs"));
    }

    // Old logs go (below too, or only at the top; deleted or to the trash);
    // recent logs, other files, folders, links and what lies beyond a link stay.
    void removesOldLogsButNothingElse_data()
    {
        test::columns<bool, bool, QStringList>("subfolders", "immediately", "gone");
        const QStringList top{"Kivo_2024-01-01.log", "kivo_lower.log", "KIVO_UPPER.LOG"};
        QTest::newRow("everywhere below, deleted")
            << true << true << top + QStringList{"sub/Kivo_nested.log", "Kivo_folder/Kivo_in.log"};
        QTest::newRow("top only, to the trash") << false << false << top;
    }
    void removesOldLogsButNothingElse()
    {
        const auto [subfolders, immediately, gone] =
            test::fetch<bool, bool, QStringList>("subfolders", "immediately", "gone");
        QDir(m_logs).removeRecursively();
        QDir(m_outside).removeRecursively();
        QStringList all = {"Kivo_2024-01-01.log", "kivo_lower.log",      "KIVO_UPPER.LOG",
                           "other.log",           "sub/Kivo_nested.log", "Kivo_folder/Kivo_in.log",
                           "Kivo_recent.log"};
        for (const QString &name : all)
            QVERIFY(makeFile(m_logs + "/" + name, name == "Kivo_recent.log" ? 6 : 30));
        QVERIFY(makeFile(m_outside + "/Kivo_outside.log", 30));
        QVERIFY(QFile::link(m_outside, m_logs + "/Kivo_linked_folder"));
        QVERIFY(QFile::link(m_outside + "/Kivo_outside.log", m_logs + "/Kivo_link.log"));
        QVERIFY(QFile::link(m_outside + "/missing", m_logs + "/Kivo_dangling.log"));

        BRLogFileManager::deleteOldLogsWithOptions(
            {{QStringLiteral("deleteSubDirectory"), subfolders},
             {QStringLiteral("deleteImmediately"), immediately},
             {QStringLiteral("beforeDate"), QDateTime::currentDateTime().addDays(-7)}});
        all << "sub"
            << "Kivo_folder"
            << "Kivo_linked_folder"
            << "Kivo_link.log"
            << "Kivo_dangling.log";
        for (const QString &name : all)
            QVERIFY2(exists(m_logs + "/" + name) != gone.contains(name), qPrintable(name));
        QVERIFY(exists(m_outside + "/Kivo_outside.log"));
        const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/";
        for (const QString &name : gone)
            QVERIFY2(exists(trash + name) != immediately, qPrintable(name));
    }

    // Last: redirects this process's standard error stream into the log file.
    void redirectKeepsTheFileInUse()
    {
        QDir(m_logs).removeRecursively();
        QVERIFY(BRLogFileManager::setupLogFile());
        QVERIFY(BRLogFileManager::isRedirected());
        const QString path = BRLogFileManager::logFilePath();
        logLine(lcApp(), QStringLiteral("after the redirect"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        // The header (checked in tests/e2e/startup_test.sh) comes first.
        QVERIFY(text.indexOf(QStringLiteral("after the redirect")) >
                text.indexOf(QStringLiteral("Kivo => " KIVO_VERSION)));

        // Even an old-looking log file in use stays.
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(-30),
                              QFileDevice::FileModificationTime));
        BRLogFileManager::deleteOldLogsWithOptions(
            {{QStringLiteral("deleteImmediately"), true},
             {QStringLiteral("beforeDate"), QDateTime::currentDateTime()}});
        QVERIFY(QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestBRLogFileManager)
#include "tst_brlogfilemanager.moc"
