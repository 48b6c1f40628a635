#include "DisplayParameters.h"

#include "PrefKeys.h"
#include "platform/Preferences.h"

#include <utility>

namespace kivo {

namespace {

// Role name and base key, in the order the dictionary is documented.
constexpr std::pair<const char *, const char *> kRoles[] = {
    {keys::sPrefKeyForNSScreenIndex, keys::prefNSScreenIndex},
    {keys::sPrefKeyForDoPlayMovie, keys::prefDoPlayMovie},
    {keys::sPrefKeyForPlayMovieFirst, keys::prefPlayMovieFirst},
    {keys::sPrefKeyForMoviePath, keys::prefMoviePath},
    {keys::sPrefKeyForMoviePathAliasData, keys::prefMoviePathAliasData},
    {keys::sPrefKeyForMoviePathAliasDataIsValid, keys::prefMoviePathAliasDataIsValid},
    {keys::sPrefKeyForDoSlideShow, keys::prefDoSlideShow},
    {keys::sPrefKeyForSlideShowPath, keys::prefSlideShowPath},
    {keys::sPrefKeyForSlideShowPathAliasData, keys::prefSlideShowPathAliasData},
    {keys::sPrefKeyForSlideShowPathAliasDataIsValid, keys::prefSlideShowPathAliasDataIsValid},
    {keys::sPrefKeyForSlideShowDelay, keys::prefSlideShowDelay},
    {keys::sPrefKeyForSlideShowWhichPhotos, keys::prefSlideShowWhichPhotos},
    // The order role maps to a key of another stem.
    {keys::sPrefKeyForSlideShowOrderSequence, keys::prefSlideShowDisplaySequence},
};

} // namespace

int DisplayParameters::suffixForIndex(int index)
{
    return int(qint16(quint16(index & 0xFFFF))) + 1;
}

QString DisplayParameters::keyForIndex(const QString &base, int index)
{
    return base + QString::number(suffixForIndex(index));
}

DisplayParameterMap DisplayParameters::setupParametersForIndex(int index)
{
    DisplayParameterMap params;
    for (const auto &[role, base] : kRoles)
        params.insert(QString::fromLatin1(role), keyForIndex(QString::fromLatin1(base), index));
    return params;
}

QVariant DisplayParameters::value(const DisplayParameterMap &params, const QString &role,
                                  const Preferences &prefs)
{
    const QString key = params.value(role);
    return key.isEmpty() ? QVariant() : prefs.object(key);
}

bool DisplayParameters::setValue(const DisplayParameterMap &params, const QString &role,
                                 const QVariant &value, Preferences &prefs)
{
    const QString key = params.value(role);
    if (key.isEmpty())
        return false;
    prefs.setValue(key, value);
    return true;
}

} // namespace kivo
