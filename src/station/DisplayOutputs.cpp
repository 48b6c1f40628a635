#include "DisplayOutputs.h"

#include "DisplayParameters.h"
#include "PrefKeys.h"
#include "platform/Preferences.h"

#include <QGuiApplication>
#include <QScreen>

namespace kivo {

QStringList DisplayOutputs::pinnedOutputs(const Preferences &prefs)
{
    const QString base = QLatin1String(keys::prefDisplayOutput);
    QStringList pins;
    for (int i = 0; i < kMaxDisplays; ++i)
        pins << prefs.string(DisplayParameters::keyForIndex(base, i)).trimmed();
    return pins;
}

QList<int> DisplayOutputs::assignScreens(const QStringList &pins, const QStringList &screenNames)
{
    qsizetype count = screenNames.size();
    for (qsizetype i = 0; i < pins.size(); ++i) {
        if (!pins.at(i).isEmpty())
            count = std::max(count, i + 1);
    }
    QList<int> screens(count, -1);
    QList<bool> taken(screenNames.size(), false);
    QList<bool> pinned(count, false);
    for (qsizetype i = 0; i < count && i < pins.size(); ++i) {
        if (pins.at(i).isEmpty() || pins.indexOf(pins.at(i)) != i)
            continue;
        pinned[i] = true;
        const qsizetype at = screenNames.indexOf(pins.at(i));
        if (at >= 0) {
            screens[i] = int(at);
            taken[at] = true;
        }
    }
    qsizetype next = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (pinned.at(i))
            continue;
        while (next < taken.size() && taken.at(next))
            ++next;
        if (next < taken.size())
            screens[i] = int(next++);
    }
    return screens;
}

QMap<int, QString> DisplayOutputs::missingOutputs(const QStringList &pins,
                                                  const QStringList &screenNames)
{
    QMap<int, QString> missing;
    for (qsizetype i = 0; i < pins.size(); ++i) {
        const QString &pin = pins.at(i);
        if (!pin.isEmpty() && pins.indexOf(pin) == i && !screenNames.contains(pin))
            missing.insert(int(i), pin);
    }
    return missing;
}

int DisplayOutputs::customerDisplayIndex(const QStringList &pins, int screenCount)
{
    return (pins.size() > 1 && !pins.at(1).isEmpty()) || screenCount > 1 ? 1 : 0;
}

QStringList DisplayOutputs::screenNames()
{
    QStringList names;
    for (const QScreen *screen : QGuiApplication::screens())
        names << screen->name();
    return names;
}

int DisplayOutputs::displayCount()
{
    const int count =
        int(assignScreens(pinnedOutputs(Preferences::standard()), screenNames()).size());
    return std::max(1, count);
}

QScreen *DisplayOutputs::screenForDisplay(int index)
{
    const QList<int> at = assignScreens(pinnedOutputs(Preferences::standard()), screenNames());
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (index < 0 || index >= at.size() || at.at(index) < 0)
        return nullptr;
    return screens.value(at.at(index));
}

int DisplayOutputs::customerDisplayIndex(int screenCount)
{
    return customerDisplayIndex(pinnedOutputs(Preferences::standard()), screenCount);
}

QScreen *DisplayOutputs::consoleScreen()
{
    if (!pinnedOutputs(Preferences::standard()).constFirst().isEmpty()) {
        if (QScreen *pinned = screenForDisplay(0))
            return pinned;
    }
    return QGuiApplication::primaryScreen();
}

} // namespace kivo
