#include "TestSupport.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QtTest>

#include <ctime>

using namespace kivo;

namespace {
QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}
} // namespace

// Day-folder names and code paths: the business day runs from 03:00 to 03:00,
// and every caller must get the same name.
class TestDailyFolders : public QObject
{
    Q_OBJECT
    Preferences &prefs() { return Preferences::standard(); }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
    }

    void init() { test::resetPreferences(); }

    void dayFolderName_data()
    {
        // format: prefDailyFolderFormat; null: unset
        test::columns<QDateTime, QString, QString>("now", "format", "name");
        test::row("02:59:59", at(2019, 1, 31, 2, 59, 59), QString(), "2019-01-30");
        test::row("03:00", at(2019, 1, 31, 3, 0), QString(), "2019-01-31");
        test::row("new year's night", at(2020, 1, 1, 1, 0), QString(), "2019-12-31");
        // Spring forward (02:00 -> 03:00): three real hours before 03:59 CEST
        // is 23:59 CET of the day before.
        test::row("spring, 03:59", at(2024, 3, 31, 3, 59), QString(), "2024-03-30");
        test::row("spring, 04:00", at(2024, 3, 31, 4, 0), QString(), "2024-03-31");
        // Fall back (03:00 CEST -> 02:00 CET): 02:30 comes twice; the day turns
        // at the second 02:00.
        const QDateTime fall(QDate(2024, 10, 27), QTime(0, 30), Qt::UTC);
        test::row("fall, 02:30 CEST", fall.toLocalTime(), QString(), "2024-10-26");
        test::row("fall, 02:30 CET", fall.addSecs(3600).toLocalTime(), QString(), "2024-10-27");
        test::row("padded format", at(2019, 1, 31, 12, 0), " yyyy-MM-dd\n", "2019-01-31");
        test::row("blank format", at(2019, 1, 31, 12, 0), " \t\n", "2019-01-31");
        test::row("own format", at(2019, 1, 31, 12, 0), "dd.MM.yy", "31.01.19");
    }

    void dayFolderName()
    {
        const auto [now, format, name] =
            test::fetch<QDateTime, QString, QString>("now", "format", "name");
        if (!format.isNull())
            prefs().setValue(keys::prefDailyFolderFormat, format);
        ScopedTestClock clock(now);
        QCOMPARE(getDailyFolderName(), name);
        QCOMPARE(getDailyFolderFormat(),
                 format.trimmed().isEmpty() ? "yyyy-MM-dd" : format.trimmed());
        // Every caller gets the same day; the log file's date ignores the preference.
        QCOMPARE(computeCurrentDaysFolderString2(3, 0), getDailyFolderName2("yyyy-MM-dd"));
    }

    void patterns()
    {
        ScopedTestClock clock(at(2019, 1, 31, 2, 59));
        QCOMPARE(computeCurrentDaysFolderString2(0, 0), "2019-01-31");
        QCOMPARE(computeCurrentDaysFolderString2(2, 59), "2019-01-31");
        QCOMPARE(getDailyFolderName2("yyyyMMdd"), "20190130");
        QCOMPARE(getDailyFolderName2("'Day' D"), "Day 30");
        QVERIFY(getDailyFolderName2(QString()).isNull());
        // Monday 31 December 2018 lies in week 1 of 2019: YYYY is the ISO week year.
        clock.set(at(2018, 12, 31, 12, 0));
        QCOMPARE(getDailyFolderName2("YYYY-MM-dd"), "2019-12-31");
        QCOMPARE(getDailyFolderName2("yyyy-MM-dd"), "2018-12-31");
    }

    void codePaths()
    {
        ScopedTestClock clock(at(2019, 1, 31, 12, 0));
        prefs().setValue(keys::prefSlideShowPath, "/photos");
        QCOMPARE(formPathForCodeNew("12345678"), "/photos/2019-01-31/12345678");
        QCOMPARE(formPathForCodeNew(" AbC "), "/photos/2019-01-31/ AbC "); // appended unchanged
        QCOMPARE(formPathForCodeNew("..x"), "/photos/2019-01-31/..x");
        // Codes never leave the day folder.
        for (const char *code : {"", ".", "..", "../2019-01-01", "a/b", "/etc"})
            QVERIFY2(formPathForCodeNew(code).isNull(), code);

        // One main folder everywhere: "~" expanded; blank or relative refused with a reason.
        prefs().setValue(keys::prefSlideShowPath, "~/Photos/");
        QCOMPARE(formPathForCodeNew("1"), QDir::homePath() + "/Photos/2019-01-31/1");
        for (const char *root : {"", " \n", "Photos"}) {
            prefs().setValue(keys::prefSlideShowPath, root);
            QString why;
            QVERIFY2(formPathForCodeNew("1").isNull() && mainImagesFolder(&why).isNull(), root);
            QVERIFY(!why.isEmpty());
        }
        prefs().setValue(keys::prefSlideShowPath, "/photos");
        prefs().setValue(keys::prefPathToAlternateDateFolder, "  ");
        QCOMPARE(formPathForCodeNew("12345678"), "/photos/2019-01-31/12345678");
        prefs().setValue(keys::prefPathToAlternateDateFolder, "/photos/2019-01-29\n");
        QCOMPARE(formPathForCodeNew("12345678"), "/photos/2019-01-29/12345678");
        QCOMPARE(consoleDayFolderPath(), "/photos/2019-01-29");
    }
};

QTEST_GUILESS_MAIN(TestDailyFolders)
#include "tst_dailyfolders.moc"
