#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

namespace kivo {

class Preferences;

// A display's parameter dictionary: role name ("sPrefKeyFor...") to the
// preference key of that display.
using DisplayParameterMap = QMap<QString, QString>;

class DisplayParameters
{
public:
    // The keys of display index (0-based): each base key followed by the
    // suffix n = index + 1, the index taken as a signed 16-bit number.
    static DisplayParameterMap setupParametersForIndex(int index);

    // The suffix of display index, as above.
    static int suffixForIndex(int index);
    // base followed by the suffix of display index ("%@%i").
    static QString keyForIndex(const QString &base, int index);

    // The preference behind role in params; invalid when the role is unknown.
    static QVariant value(const DisplayParameterMap &params, const QString &role,
                          const Preferences &prefs);
    // Stores value under the preference behind role; false when the role is unknown.
    static bool setValue(const DisplayParameterMap &params, const QString &role,
                         const QVariant &value, Preferences &prefs);
};

} // namespace kivo
