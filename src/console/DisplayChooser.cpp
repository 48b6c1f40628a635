#include "DisplayChooser.h"

#include "ConsoleLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardItemModel>

namespace kivo {

QString DisplayChooser::roomName(int displayNumber, const Preferences &prefs)
{
    return prefs.string(QLatin1String(keys::prefNameOfDisplay) + QString::number(displayNumber));
}

QList<DisplayEntry> DisplayChooser::buildEntries(int screenCount, const Preferences &prefs)
{
    QList<DisplayEntry> entries;
    for (int i = 0; i < screenCount; ++i) {
        DisplayEntry entry;
        entry.screenIndex = i;
        const QString room = roomName(i + 1, prefs);
        if (room.isEmpty()) {
            entry.displayName = QStringLiteral("Display #%1").arg(i + 1);
            logLine(lcConsole(),
                    QStringLiteral("DisplayChooser->buildEntries... no name found for display %1")
                        .arg(i + 1));
        } else {
            entry.displayName = QStringLiteral("%1. %2").arg(i + 1).arg(room);
        }
        entry.enableItem = !(i == 0 && screenCount >= 2);
        entries.append(entry);
    }
    return entries;
}

void DisplayChooser::apply(QComboBox *popup, const QList<DisplayEntry> &entries)
{
    const int previous = popup->currentIndex();
    const QSignalBlocker blocker(popup);
    popup->clear();
    for (const DisplayEntry &entry : entries)
        popup->addItem(entry.displayName, entry.screenIndex);
    auto *model = qobject_cast<QStandardItemModel *>(popup->model());
    for (int i = 0; model && i < entries.size(); ++i) {
        if (QStandardItem *item = model->item(i))
            item->setEnabled(entries.at(i).enableItem);
    }
    if (entries.size() >= 2)
        popup->setCurrentIndex(1);
    else if (!entries.isEmpty())
        popup->setCurrentIndex(previous >= 0 && previous < entries.size() ? previous : 0);
}

QString DisplayChooser::slideshowWindowName(const QString &code, const QStringList &displayFolders,
                                            const Preferences &prefs)
{
    for (int i = 0; i < displayFolders.size(); ++i) {
        const QString last = QFileInfo(QDir::cleanPath(displayFolders.at(i))).fileName();
        if (code.isEmpty() || last.compare(code, Qt::CaseInsensitive) != 0)
            continue;
        // As the display itself reports it: a display without a name shows the code alone.
        const QString room = roomName(i + 1, prefs);
        return room.trimmed().isEmpty() ? code : QStringLiteral("%1 (%2)").arg(code, room);
    }
    logLine(
        lcConsole(),
        QStringLiteral("getSlideshowWindowName... code [%1] is not playing in any room").arg(code));
    return {};
}

} // namespace kivo
