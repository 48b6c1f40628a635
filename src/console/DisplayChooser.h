#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

class QComboBox;

namespace kivo {

class Preferences;

// One entry of the display chooser.
struct DisplayEntry
{
    QString displayName; // "2. Hall", or "Display #2" without a room name
    int screenIndex = 0;
    bool enableItem = true;
};

// The display chooser: one entry per attached screen, in screen order. With
// two or more screens the first (the console's own) is disabled and the
// second chosen.
class DisplayChooser
{
public:
    static QList<DisplayEntry> buildEntries(int screenCount, const Preferences &prefs);
    // Fills the combo box with the entries (keeping a valid choice).
    static void apply(QComboBox *popup, const QList<DisplayEntry> &entries);
    // The room name of display number n (index + 1), empty when unset.
    static QString roomName(int displayNumber, const Preferences &prefs);
    // "%@ (%@)" of a code and the room of the first display whose folder's
    // last component equals the code ignoring case (the code alone when that
    // display has no room name); empty when none plays it.
    static QString slideshowWindowName(const QString &code, const QStringList &displayFolders,
                                       const Preferences &prefs);
};

} // namespace kivo
