#include "DisplayListing.h"

#include "platform/Preferences.h"
#include "station/DisplayOutputs.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>

#include <cstdio>
#include <utility>

namespace kivo {

QByteArray displayJson(const QScreen &screen, const QStringList &pins)
{
    const QRect g = screen.geometry();
    QJsonObject line{
        {QStringLiteral("name"), screen.name()},
        {QStringLiteral("geometry"), QJsonObject{{QStringLiteral("x"), g.x()},
                                                 {QStringLiteral("y"), g.y()},
                                                 {QStringLiteral("width"), g.width()},
                                                 {QStringLiteral("height"), g.height()}}},
        {QStringLiteral("primary"), &screen == QGuiApplication::primaryScreen()},
    };
    const std::pair<QString, QString> identity[] = {
        {QStringLiteral("manufacturer"), screen.manufacturer()},
        {QStringLiteral("model"), screen.model()},
        {QStringLiteral("serial"), screen.serialNumber()}};
    for (const auto &[key, value] : identity) {
        if (!value.isEmpty())
            line.insert(key, value);
    }
    const qsizetype pinned = screen.name().isEmpty() ? -1 : pins.indexOf(screen.name());
    line.insert(QStringLiteral("display"),
                pinned < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(int(pinned) + 1));
    return QJsonDocument(line).toJson(QJsonDocument::Compact);
}

int listDisplays()
{
    const QStringList pins = DisplayOutputs::pinnedOutputs(Preferences::standard());
    for (const QScreen *screen : QGuiApplication::screens())
        std::printf("%s\n", displayJson(*screen, pins).constData());
    std::fflush(stdout);
    return 0;
}

} // namespace kivo
