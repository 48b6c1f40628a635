#pragma once

#include <QImage>
#include <QString>

namespace kivo {

class Preferences;

// Finds the picture tiled behind a display's slides: a pattern picture named
// in prefPatternImageBaseNames beside the slideshow folders, else the bundle's
// background for the installation named in the parent application's
// preferences, else the bundle's default; black when there is none.
class BackgroundPicture
{
public:
    // Path of the picture to use, or empty for black.
    static QString findPath(const Preferences &prefs);
    static QString findPath();

    // The picture itself, or a null image for black. Pictures too large to be
    // a background are refused.
    static QImage load(const Preferences &prefs);

    // The installation name in the parent application's preferences file
    // (dictionary "/" -> "corvel/" -> string "account"); empty when absent.
    static QString parentAccountName(const Preferences &prefs);
    // The parent application's preferences file named name (a file name):
    // $XDG_CONFIG_HOME/Kivo/name (default ~/.config/Kivo), where the venue's
    // applications keep their preferences on Linux; else, when only that one
    // exists, ~/Library/Preferences/name, where they were kept before.
    static QString parentPreferencesFile(const QString &name);

    // Decodes a picture for tiling; null when it does not load or is huge.
    static QImage loadPicture(const QString &path);
};

} // namespace kivo
