#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"

#include <QtTest>

#include <ctime>

using namespace kivo;

// Day-folder names and code paths: the business day runs from 03:00 to 03:00,
// and every caller must get the same name.
class TestDailyFolders : public QObject
{
    Q_OBJECT

    static QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    }

    Preferences &prefs() { return Preferences::standard(); }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
    }

    void init()
    {
        for (const char *key :
             {"prefDailyFolderFormat", "prefPathToAlternateDateFolder", "prefSlideShowPath"})
            prefs().remove(QString::fromLatin1(key));
    }

    void businessDayTurnsAtThree()
    {
        ScopedTestClock clock(at(2019, 1, 31, 2, 59, 59));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2019-01-30"));
        QCOMPARE(computeCurrentDaysFolderString2(3, 0), QStringLiteral("2019-01-30"));
        QCOMPARE(computeCurrentDaysFolderString2(0, 0), QStringLiteral("2019-01-31"));
        QCOMPARE(computeCurrentDaysFolderString2(2, 59), QStringLiteral("2019-01-31"));
        clock.set(at(2019, 1, 31, 3, 0, 0));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2019-01-31"));
        QCOMPARE(computeCurrentDaysFolderString2(3, 0), QStringLiteral("2019-01-31"));
        // A new year's night still belongs to the old year until 03:00.
        clock.set(at(2020, 1, 1, 1, 0));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2019-12-31"));
    }

    void businessDayIsThreeHoursOfRealTimeOnDaylightSavingDays()
    {
        // Spring forward (02:00 -> 03:00): three real hours before 03:59 CEST is
        // 23:59 CET of the day before.
        ScopedTestClock clock(at(2024, 3, 31, 3, 59));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2024-03-30"));
        clock.set(at(2024, 3, 31, 4, 0));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2024-03-31"));
        // Fall back (03:00 CEST -> 02:00 CET): 02:30 comes twice; the day turns
        // at the second 02:00.
        const auto utc = [](int h, int mi) {
            return QDateTime(QDate(2024, 10, 27), QTime(h, mi), Qt::UTC).toLocalTime();
        };
        clock.set(utc(0, 30)); // 02:30 CEST
        QCOMPARE(getDailyFolderName(), QStringLiteral("2024-10-26"));
        clock.set(utc(1, 30)); // 02:30 CET
        QCOMPARE(getDailyFolderName(), QStringLiteral("2024-10-27"));
    }

    void folderFormatPreference()
    {
        ScopedTestClock clock(at(2019, 1, 31, 12, 0));
        QCOMPARE(getDailyFolderFormat(), QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2019-01-31"));

        prefs().setValue(QStringLiteral("prefDailyFolderFormat"), QStringLiteral(" yyyy-MM-dd\n"));
        QCOMPARE(getDailyFolderFormat(), QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2019-01-31"));

        prefs().setValue(QStringLiteral("prefDailyFolderFormat"), QStringLiteral(" \t\n"));
        QCOMPARE(getDailyFolderName(), QStringLiteral("2019-01-31"));

        prefs().setValue(QStringLiteral("prefDailyFolderFormat"), QStringLiteral("dd.MM.yy"));
        QCOMPARE(getDailyFolderName(), QStringLiteral("31.01.19"));
        QCOMPARE(getDailyFolderName2(QStringLiteral("yyyyMMdd")), QStringLiteral("20190131"));
        QCOMPARE(getDailyFolderName2(QStringLiteral("'Day' D")), QStringLiteral("Day 31"));
        // The log file's date ignores the preference.
        QCOMPARE(computeCurrentDaysFolderString2(3, 0), QStringLiteral("2019-01-31"));

        QVERIFY(getDailyFolderName2(QString()).isNull());
    }

    void weekYearPatternIsTheIsoWeekYear()
    {
        // Monday 31 December 2018 lies in week 1 of 2019.
        ScopedTestClock clock(at(2018, 12, 31, 12, 0));
        QCOMPARE(getDailyFolderName2(QStringLiteral("YYYY-MM-dd")), QStringLiteral("2019-12-31"));
        QCOMPARE(getDailyFolderName2(QStringLiteral("yyyy-MM-dd")), QStringLiteral("2018-12-31"));
    }

    void codePaths()
    {
        ScopedTestClock clock(at(2019, 1, 31, 12, 0));
        prefs().setValue(QStringLiteral("prefSlideShowPath"), QStringLiteral("/photos"));
        QCOMPARE(formPathForCodeNew(QStringLiteral("12345678")),
                 QStringLiteral("/photos/2019-01-31/12345678"));
        // Appended unchanged.
        QCOMPARE(formPathForCodeNew(QStringLiteral(" AbC ")),
                 QStringLiteral("/photos/2019-01-31/ AbC "));

        prefs().setValue(QStringLiteral("prefPathToAlternateDateFolder"), QStringLiteral("  "));
        QCOMPARE(formPathForCodeNew(QStringLiteral("12345678")),
                 QStringLiteral("/photos/2019-01-31/12345678"));

        prefs().setValue(QStringLiteral("prefPathToAlternateDateFolder"),
                         QStringLiteral("/photos/2019-01-29\n"));
        QCOMPARE(formPathForCodeNew(QStringLiteral("12345678")),
                 QStringLiteral("/photos/2019-01-29/12345678"));
        QCOMPARE(consoleDayFolderPath(), QStringLiteral("/photos/2019-01-29"));
    }

    void codesNeverLeaveTheDayFolder()
    {
        prefs().setValue(QStringLiteral("prefSlideShowPath"), QStringLiteral("/photos"));
        for (const char *code : {"", ".", "..", "../2019-01-01", "a/b", "/etc"})
            QVERIFY2(formPathForCodeNew(QString::fromLatin1(code)).isNull(), code);
        QVERIFY(!formPathForCodeNew(QStringLiteral("..x")).isNull());
    }
};

QTEST_GUILESS_MAIN(TestDailyFolders)
#include "tst_dailyfolders.moc"
