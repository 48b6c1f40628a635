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

    // Decodes a picture for tiling; null when it does not load or is huge.
    static QImage loadPicture(const QString &path);
};

} // namespace kivo
