#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kivo {

class Preferences;

// The demo folder check: the folder may be played when it holds at least one
// demo picture (jpg, jpeg, png or tiff in any letter case) at its top level.
class DemoSlides
{
public:
    // {"code": "Demo Slides", "sourcepath": prefDemoSlidesPath with "~" expanded}.
    static QVariantMap demoParameters(const Preferences &prefs);
    // The demo pictures of folder, one level deep, hidden entries skipped.
    static QStringList demoPictures(const QString &folder);
    static bool isDemoPicture(const QString &fileName);

    // Texts of the alert shown when there is nothing to play.
    static QString noImagesTitle() { return QStringLiteral("NO DEMO IMAGES..."); }
    static QString noImagesText(const QString &folder);
};

} // namespace kivo
