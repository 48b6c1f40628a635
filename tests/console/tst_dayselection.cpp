#include "console/DaySelection.h"
#include "platform/Preferences.h"
#include "station/Clock.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace kivo;

class TestDaySelection : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    Preferences &prefs() { return Preferences::standard(); }
    QString alternate() { return prefs().string(keys::prefPathToAlternateDateFolder); }

private slots:
    void init()
    {
        prefs().setValue(keys::prefSlideShowPath, m_root.path());
        prefs().remove(keys::prefDailyFolderFormat);
        prefs().remove(keys::prefPathToAlternateDateFolder);
    }

    void stepperIsCappedAtSixtyDays()
    {
        QCOMPARE(DaySelection::clampDaysBack(75), qint64(60));
        QCOMPARE(DaySelection::clampDaysBack(-3), qint64(0));
        const QDateTime now(QDate(2025, 6, 30), QTime(12, 0));
        const auto choice = DaySelection::stepTo(75, now, prefs());
        QCOMPARE(choice.daysBack, qint64(60));
        QCOMPARE(choice.date.date(), QDate(2025, 5, 1));
        QCOMPARE(prefs().object(keys::prefSelectedDateString).toDateTime(), choice.date);
        QCOMPARE(choice.outcome, DaySelection::Outcome::OtherMissing);
        QVERIFY(alternate().isEmpty());
    }

    void otherDayBecomesTheAlternateFolder()
    {
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("2025-06-28")));
        const QDateTime now(QDate(2025, 6, 30), QTime(12, 0));
        const auto choice = DaySelection::stepTo(2, now, prefs());
        QCOMPARE(choice.outcome, DaySelection::Outcome::OtherDay);
        QCOMPARE(alternate(), m_root.filePath(QStringLiteral("2025-06-28")));
        // The code paths now lead into that day whatever the clock says.
        QCOMPARE(formPathForCodeNew(QStringLiteral("12345678")),
                 m_root.filePath(QStringLiteral("2025-06-28/12345678")));

        // A day without a folder leaves the alternate folder as it was.
        QCOMPARE(DaySelection::stepTo(5, now, prefs()).outcome,
                 DaySelection::Outcome::OtherMissing);
        QCOMPARE(alternate(), m_root.filePath(QStringLiteral("2025-06-28")));

        // Today clears it again.
        DaySelection::resetToToday(prefs());
        QVERIFY(alternate().isEmpty());
        QCOMPARE(prefs().integer(keys::prefDayStepperValue), qint64(0));
    }

    // Between midnight and 03:00 "today" is still the business day the
    // console lists, not the new calendar day.
    void todayFollowsTheBusinessDay()
    {
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("2025-03-14")));
        ScopedTestClock clock(QDateTime(QDate(2025, 3, 15), QTime(1, 30)));
        const auto choice = DaySelection::stepTo(0, businessInstant(), prefs());
        QCOMPARE(choice.outcome, DaySelection::Outcome::Today);
        QCOMPARE(choice.folderPath, consoleDayFolderPath());
    }
};

QTEST_GUILESS_MAIN(TestDaySelection)
#include "tst_dayselection.moc"
