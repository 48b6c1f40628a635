#include "DaySelection.h"

#include "ConsoleLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/DateFormat.h"
#include "station/PrefKeys.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace kivo {

qint64 DaySelection::clampDaysBack(qint64 value)
{
    return std::clamp<qint64>(value, 0, kMaxDaysBack);
}

DaySelection::Choice DaySelection::stepTo(qint64 daysBack, const QDateTime &businessNow,
                                          Preferences &prefs)
{
    Choice choice;
    choice.daysBack = clampDaysBack(daysBack);
    // Counted from the business date, so that between midnight and 03:00 "today"
    // is the day folder the console lists.
    choice.date = businessNow.addSecs(-choice.daysBack * 86400);
    prefs.setValue(QLatin1String(keys::prefSelectedDateString), choice.date);

    const QString root = mainImagesFolder();
    const QString name = formatDateWithPattern(choice.date, getDailyFolderFormat());
    choice.folderPath = root.isEmpty() || name.isEmpty() ? QString() : QDir(root).filePath(name);
    const bool exists = !choice.folderPath.isEmpty() && QFileInfo(choice.folderPath).isDir();

    if (choice.daysBack == 0) {
        prefs.remove(QLatin1String(keys::prefPathToAlternateDateFolder));
        choice.outcome = exists ? Outcome::Today : Outcome::TodayMissing;
        if (!exists)
            logLine(lcConsole(), QStringLiteral("Todays folder does not exist or empty???"));
        return choice;
    }
    if (exists) {
        prefs.setValue(QLatin1String(keys::prefPathToAlternateDateFolder), choice.folderPath);
        choice.outcome = Outcome::OtherDay;
    } else {
        choice.outcome = Outcome::OtherMissing;
        logLine(
            lcConsole(),
            QStringLiteral("DaySelection->stepTo... no folder for [%1]").arg(choice.folderPath));
    }
    return choice;
}

void DaySelection::resetToToday(Preferences &prefs)
{
    prefs.remove(QLatin1String(keys::prefPathToAlternateDateFolder));
    prefs.setValue(QLatin1String(keys::prefDayStepperValue), qint64(0));
}

} // namespace kivo
