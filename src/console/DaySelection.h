#pragma once

#include <QDateTime>
#include <QString>

namespace kivo {

class Preferences;

// The console's choice of day: today's day folder or the folder of a day up
// to 60 days back. The day state lives in the preferences
// (prefPathToAlternateDateFolder, prefDayStepperValue, prefSelectedDateString).
class DaySelection
{
public:
    static constexpr qint64 kMaxDaysBack = 60;

    enum class Outcome
    {
        Today,        // today's folder exists: list it
        TodayMissing, // today's folder does not exist: empty list, logged
        OtherDay,     // the other day's folder exists and is now the alternate folder
        OtherMissing, // the other day has no folder: beep, empty list
    };

    struct Choice
    {
        qint64 daysBack = 0;
        QDateTime date;     // the chosen business date
        QString folderPath; // root / folder name of that date
        Outcome outcome = Outcome::TodayMissing;
    };

    // Days back taken from a stepper value: above 60 counts as 60, below 0 as 0.
    static qint64 clampDaysBack(qint64 value);

    // The day daysBack days before the business date of now, named with
    // prefDailyFolderFormat. Stores prefSelectedDateString and sets or clears
    // prefPathToAlternateDateFolder as the outcome says.
    static Choice stepTo(qint64 daysBack, const QDateTime &businessNow, Preferences &prefs);

    // Today: clears the alternate folder and the stepper value.
    static void resetToToday(Preferences &prefs);
};

} // namespace kivo
