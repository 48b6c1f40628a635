#pragma once

// Helpers for the display tests: folders of real JPEGs,
// requests and a recorder of "SlideShowStatus" posts.

#include "TestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/borderlessWindow.h"
#include "slideshow/slideShowWindowController.h"
#include "station/PrefKeys.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace kivo::test {

// A folder of 640 x 480 JPEGs.
inline QString photoFolder(const QString &path, const QStringList &photos)
{
    QDir().mkpath(path);
    for (const QString &p : photos)
        writeJpeg(path + "/" + p, 640, 480);
    return path;
}

inline void post(const QString &name, const QVariantMap &info)
{
    NotificationCenter::defaultCenter().post(name, QVariant(), info);
}

// Asks display index to play a folder.
inline void play(int index, const QString &folder)
{
    post("SlideShowParamChanged", {{"screenIndex", index}, {"sourcePath", folder}});
}

// Collects "SlideShowStatus" user infos while alive.
struct StatusRecorder
{
    QList<QVariantMap> posts;
    ObserverToken token = NotificationCenter::defaultCenter().addObserver(
        "SlideShowStatus", qApp, [this](const Notification &n) { posts.append(n.userInfo); });

    // The values of key in the posts of display index that hold it.
    QStringList values(int index, const QString &key) const
    {
        QStringList out;
        for (const QVariantMap &m : posts)
            if (m.value("screenIndex").toInt() == index && m.contains(key))
                out.append(m.value(key).toString());
        return out;
    }
};

inline const QString kRunning = QStringLiteral("<Slide Show is Running...>");
inline const QString kNotRunning = QStringLiteral("<Slide Show is NOT Running...>");

} // namespace kivo::test
