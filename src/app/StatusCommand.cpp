#include "StatusCommand.h"

#include "platform/StatusBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

namespace kivo {

namespace {
QString text(const QJsonValue &value, const QString &none = QStringLiteral("-"))
{
    if (value.isString())
        return value.toString();
    return value.isDouble() ? QString::number(value.toDouble()) : none;
}

QString displayLine(const QJsonObject &d)
{
    QString line = QStringLiteral("display %1 %2 \"%3\": %4")
                       .arg(d.value(QLatin1String("index")).toInt() + 1)
                       .arg(text(d.value(QLatin1String("screen"))),
                            text(d.value(QLatin1String("room")), QString()),
                            text(d.value(QLatin1String("code")), QStringLiteral("no code")));
    if (d.value(QLatin1String("playing")).toBool())
        line += QStringLiteral(", playing");
    line += QStringLiteral(", %1 slides shown").arg(d.value(QLatin1String("slidesShown")).toInt());
    const QJsonValue painted = d.value(QLatin1String("lastPaintedSecondsAgo"));
    if (painted.isDouble())
        line += QStringLiteral(", painted %1 s ago").arg(painted.toDouble());
    return line;
}

QStringList summary(const QJsonObject &s)
{
    const QJsonObject store = s.value(QLatin1String("store")).toObject();
    QStringList lines{
        QStringLiteral("kivo-slideshow %1 (pid %2) since %3: %4")
            .arg(text(s.value(QLatin1String("version"))), text(s.value(QLatin1String("pid"))),
                 text(s.value(QLatin1String("startedAt"))), text(s.value(QLatin1String("state")))),
        QStringLiteral("current code: %1")
            .arg(text(s.value(QLatin1String("currentCode")), QStringLiteral("none"))),
        QStringLiteral("store: %1, %2, last listing %3 ms")
            .arg(text(store.value(QLatin1String("path"))),
                 store.value(QLatin1String("reachable")).toBool() ? QStringLiteral("reachable")
                                                                  : QStringLiteral("unreachable"),
                 text(store.value(QLatin1String("lastListingMs"))))};
    for (const QJsonValue &d : s.value(QLatin1String("displays")).toArray())
        lines << displayLine(d.toObject());
    lines << QStringLiteral("next relaunch: %1").arg(text(s.value(QLatin1String("nextRelaunch"))));
    for (const QJsonValue &reason : s.value(QLatin1String("reasons")).toArray())
        lines << QStringLiteral("degraded: %1").arg(reason.toString());
    return lines;
}

int notAnswering(const QString &why)
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    const uint pid = bus ? bus->servicePid(QString::fromLatin1(StatusBus::kService)).value() : 0;
    std::printf("kivo-slideshow is running%s but did not answer within %d s (%s)\n",
                pid ? qPrintable(QStringLiteral(" (pid %1)").arg(pid)) : "",
                kStatusTimeoutMs / 1000, qPrintable(why));
    return kStatusNotAnswering;
}
} // namespace

int printStatus(bool json)
{
    const StatusBus::Reply reply = StatusBus::ask(kStatusTimeoutMs);
    if (reply.outcome == StatusBus::Outcome::NotRunning) {
        std::printf("kivo-slideshow is not running\n");
        return kStatusNotRunning;
    }
    if (reply.outcome == StatusBus::Outcome::NoAnswer)
        return notAnswering(reply.status);
    const QJsonObject status = QJsonDocument::fromJson(reply.status.toUtf8()).object();
    if (json)
        std::printf("%s\n", reply.status.toUtf8().constData());
    else
        std::printf("%s\n", qPrintable(summary(status).join(u'\n')));
    return status.value(QLatin1String("state")).toString() == QLatin1String("ok") ? kStatusOk
                                                                                  : kStatusDegraded;
}

} // namespace kivo
