#pragma once

#include <QDateTime>
#include <QString>

namespace kivo {

// Names of the day folders and code folders under the main images folder.
//
// A business day runs from 03:00 to 03:00 local time: the business date is the
// local date of the instant three hours before now (Clock::now()). Every
// function reads the preferences and the clock only, so any thread may call it.

// Seconds the business date lags behind the clock.
inline constexpr qint64 kBusinessDayShiftSecs = 10800;

// The instant whose local date is the business date.
QDateTime businessInstant();

// prefDailyFolderFormat trimmed of white space and newlines; "yyyy-MM-dd" when
// unset or blank.
QString getDailyFolderFormat();

// Today's day-folder name: the business date formatted with getDailyFolderFormat().
QString getDailyFolderName();

// The main images folder, the one root that the customer search, the console,
// --list-codes and the reassignment look under: prefSlideShowPath with "~" and
// "~/..." expanded, cleaned. A blank or relative value is refused: a null
// string, a log line (at most one a minute), and in *why a sentence for the
// operator. Touches no file system.
QString mainImagesFolder(QString *why = nullptr);

// mainImagesFolder() / today's day-folder name; null when either is missing.
QString todaysDayFolderPath(QString *why = nullptr);

// The business date formatted with the given Unicode date pattern; a null
// string for an empty pattern or a pattern that yields no text.
QString getDailyFolderName2(const QString &format);

// The day folder the console looks at: prefPathToAlternateDateFolder when it
// holds more than white space, else todaysDayFolderPath().
QString consoleDayFolderPath();

// The console day folder / code (the code is appended unchanged). A null
// string without a day folder, or for a code CustomerCode refuses.
QString formPathForCodeNew(const QString &code);

// The instant (hours * 3600 + minutes * 60) seconds before now as "yyyy-MM-dd",
// whatever the preferences say.
QString computeCurrentDaysFolderString2(qint16 hours, qint16 minutes);

} // namespace kivo
