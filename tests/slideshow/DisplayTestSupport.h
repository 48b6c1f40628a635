#pragma once

// Helpers for the display tests: an offscreen platform with chosen screens,
// folders of real JPEGs and a recorder of "SlideShowStatus" posts.

#include "TestSupport.h"
#include "platform/NotificationCenter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QRect>
#include <QVariantMap>

namespace kivo::test {

// Points the offscreen platform at a screen layout; call before QApplication.
inline void useOffscreenScreens(const QList<QRect> &screens)
{
    QByteArray json =
        R"({"synchronousWindowSystemEvents": true, "windowFrameMargins": false, "screens": [)";
    for (int i = 0; i < screens.size(); ++i) {
        const QRect &r = screens.at(i);
        json += QStringLiteral(R"(%1{"name": "S%2", "x": %3, "y": %4, "width": %5, "height": %6, )"
                               R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
                    .arg(i ? "," : "")
                    .arg(i)
                    .arg(r.x())
                    .arg(r.y())
                    .arg(r.width())
                    .arg(r.height())
                    .toUtf8();
    }
    json += "]}";
    const QString path = QDir::tempPath() + "/kivo-screens.json";
    writeFile(path, json);
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
}

// Collects "SlideShowStatus" user infos while alive.
struct StatusRecorder
{
    QList<QVariantMap> posts;
    ObserverToken token;
    StatusRecorder()
    {
        token = NotificationCenter::defaultCenter().addObserver(
            "SlideShowStatus", [this](const Notification &n) { posts.append(n.userInfo); });
    }
    QList<QVariantMap> forScreen(int index) const
    {
        QList<QVariantMap> out;
        for (const QVariantMap &m : posts)
            if (m.value("screenIndex").toInt() == index)
                out.append(m);
        return out;
    }
    int countMesg(int index, const QString &mesg) const
    {
        int n = 0;
        for (const QVariantMap &m : forScreen(index))
            n += m.value("mesg").toString() == mesg;
        return n;
    }
};

inline void post(const QString &name, const QVariantMap &info)
{
    NotificationCenter::defaultCenter().post(name, QVariant(), info);
}

inline const QString kRunning = QStringLiteral("<Slide Show is Running...>");
inline const QString kNotRunning = QStringLiteral("<Slide Show is NOT Running...>");

} // namespace kivo::test
