#include "TestSupport.h"

#include "app/AppLog.h"
#include "app/BRLogFileManager.h"
#include "platform/Log.h"
#include "station/Clock.h"

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
        if (!test::writeFile(path, "log line\n"))
            return false;
        QFile f(path);
        if (!f.open(QIODevice::ReadWrite))
            return false;
        return f.setFileTime(QDateTime::currentDateTime().addDays(-daysOld),
                             QFileDevice::FileModificationTime);
    }

    static bool exists(const QString &path)
    {
        return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    }

    // Fills the log folder; names relative to it, ages in days.
    void populate()
    {
        QDir(m_logs).removeRecursively();
        QDir(m_outside).removeRecursively();
        QVERIFY(makeFile(m_logs + "/Kivo_2024-01-01.log", 8));
        QVERIFY(makeFile(m_logs + "/Kivo_recent.log", 6));
        QVERIFY(makeFile(m_logs + "/kivo_lower.log", 8));
        QVERIFY(makeFile(m_logs + "/KIVO_UPPER.LOG", 8));
        QVERIFY(makeFile(m_logs + "/other.log", 30));
        QVERIFY(makeFile(m_logs + "/sub/Kivo_nested.log", 8));
        QVERIFY(makeFile(m_logs + "/Kivo_folder/Kivo_inside.log", 8));
        QVERIFY(makeFile(m_outside + "/Kivo_outside.log", 30));
        QVERIFY(makeFile(m_outside + "/Kivo_target.log", 30));
        QVERIFY(QFile::link(m_outside, m_logs + "/Kivo_linked_folder"));
        QVERIFY(QFile::link(m_outside + "/Kivo_target.log", m_logs + "/Kivo_link.log"));
        QVERIFY(QFile::link(m_outside + "/missing", m_logs + "/Kivo_dangling.log"));
        QVERIFY(QFileInfo(m_logs + "/Kivo_folder").isDir());
    }

    static QVariantMap options(bool subfolders, bool immediately)
    {
        return {{QStringLiteral("deleteSubDirectory"), subfolders},
                {QStringLiteral("deleteImmediately"), immediately},
                {QStringLiteral("beforeDate"), QDateTime::currentDateTime().addDays(-7)}};
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Kivo"));
        m_logs = BRLogFileManager::logFolder();
        m_outside = QDir::homePath() + QStringLiteral("/outside");
        QCOMPARE(m_logs, qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/Kivo/Logs"));
    }

    void logFileNameCarriesTheBusinessDate()
    {
        ScopedTestClock clock(QDateTime(QDate(2024, 5, 5), QTime(2, 30)));
        QCOMPARE(BRLogFileManager::logFilePath(), m_logs + QStringLiteral("/Kivo_2024-05-04.log"));
        clock.set(QDateTime(QDate(2024, 5, 5), QTime(3, 0)));
        QCOMPARE(BRLogFileManager::logFilePath(), m_logs + QStringLiteral("/Kivo_2024-05-05.log"));
    }

    void removesOldLogsEverywhereBelowButNothingElse()
    {
        populate();
        BRLogFileManager::deleteOldLogsWithOptions(options(true, true));

        for (const char *gone : {"Kivo_2024-01-01.log", "kivo_lower.log", "KIVO_UPPER.LOG",
                                 "sub/Kivo_nested.log", "Kivo_folder/Kivo_inside.log"})
            QVERIFY2(!exists(m_logs + "/" + gone), gone);
        for (const char *kept : {"Kivo_recent.log", "other.log", "sub", "Kivo_folder",
                                 "Kivo_linked_folder", "Kivo_link.log", "Kivo_dangling.log"})
            QVERIFY2(exists(m_logs + "/" + kept), kept);
        // Nothing beyond a symbolic link is touched.
        QVERIFY(exists(m_outside + "/Kivo_outside.log"));
        QVERIFY(exists(m_outside + "/Kivo_target.log"));
    }

    void topLevelOnlyAndTrash()
    {
        populate();
        BRLogFileManager::deleteOldLogsWithOptions(options(false, false));
        QVERIFY(!exists(m_logs + "/Kivo_2024-01-01.log"));
        QVERIFY(exists(m_logs + "/sub/Kivo_nested.log"));
        QVERIFY(exists(m_logs + "/Kivo_folder/Kivo_inside.log"));
        const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files";
        QVERIFY(exists(trash + "/Kivo_2024-01-01.log"));
        QVERIFY(exists(trash + "/kivo_lower.log"));
    }

    // Last: redirects this process's standard error stream into the log file.
    void redirectWritesHeaderAndKeepsTheFileInUse()
    {
        QDir(m_logs).removeRecursively();
        QVERIFY(BRLogFileManager::setupLogFile());
        QVERIFY(BRLogFileManager::isRedirected());
        const QString path = BRLogFileManager::logFilePath();
        logLine(lcApp(), QStringLiteral("after the redirect"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        const QString rule(59, QLatin1Char('='));
        QVERIFY(text.contains(rule));
        QVERIFY(text.contains(QStringLiteral("OS: ")) ||
                text.contains(QStringLiteral("failed to get the OS version")));
        QVERIFY(text.contains(QStringLiteral("Kivo => " KIVO_VERSION)));
        QVERIFY(text.indexOf(QStringLiteral("after the redirect")) > text.lastIndexOf(rule));

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
