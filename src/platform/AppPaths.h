#pragma once

#include <QString>

namespace kivo {

// Locations of the station's own files. The installed station lives in
// <prefix>/bin, <prefix>/libexec/kivo-slideshow and <prefix>/share/kivo-slideshow;
// the build tree has the same layout. The prefix is found from the running
// executable; programs that do not live in <prefix>/bin (tests) fall back to
// the build tree they were built in.
class AppPaths
{
public:
    static QString prefix();
    static QString libexecDir();   // auxiliary executables: scripts, relaunch
    static QString resourcesDir(); // FactoryDefault.plist, pictures
    // Path of an auxiliary executable, or empty when it is missing.
    static QString auxiliaryExecutable(const QString &name);
    // Path of a resource file, or empty when it is missing.
    static QString resource(const QString &name);
    // An XDG base folder: the absolute path in the environment variable, else
    // the fallback below the home folder (for example ".local/state").
    static QString xdgBaseDir(const char *variable, const QString &homeFallback);
    // Overrides the prefix (tests).
    static void setPrefix(const QString &prefix);
};

} // namespace kivo
