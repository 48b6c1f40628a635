#pragma once

#include <QString>
#include <QVariantMap>

namespace kivo {

class Preferences;

// The preference values the station starts from: FactoryDefault.plist
// (registered, never written to the user's file) and the optional
// ForcedDefaultPrefs.plist (stored over the user's values at every start),
// both in the resources folder.
class FactoryDefaults
{
public:
    static constexpr char kFactoryDefaultsFile[] = "FactoryDefault.plist";
    static constexpr char kForcedPrefsFile[] = "ForcedDefaultPrefs.plist";

    // Registers the factory defaults, stores prefDoShoutMode = false, then
    // stores every forced value, and writes the user's file. A missing or
    // unreadable factory file is logged and nothing is registered; a garbled
    // forced file is logged and skipped.
    static void setupFactoryDefaults(Preferences &prefs, const QString &resourcesDir);

    // The factory defaults file read as a dictionary; empty when it cannot be read.
    static QVariantMap loadFactoryDefaults(const QString &resourcesDir);

    // Whether the log goes to the day's file, decided before the set-up runs
    // and before anything is logged: a forced value, else the user's, else the
    // factory one. Registers the factory defaults on prefs.
    static bool redirectsLogToFile(Preferences &prefs, const QString &resourcesDir);
};

} // namespace kivo
