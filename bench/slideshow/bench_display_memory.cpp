// Two displays playing 2 000 slides of 24-megapixel photos (20 distinct files
// cycled) with delay 0 and a fade transition, on three offscreen 1920x1080
// screens (display 0 stays under the console). Samples the resident memory
// after every slide; reports the peak and the growth after slide 200.
// Budget: under 250 MB, no growth.

#include "BenchPhotos.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/slideShowWindowController.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace kivo;

namespace {
qint64 residentKB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    const int slides = argc > 2 ? atoi(argv[2]) : 2000;
    QTemporaryDir home;
    const QString screens = home.path() + "/screens.json";
    {
        QFile f(screens);
        f.open(QIODevice::WriteOnly);
        QByteArray json = R"({"screens": [)";
        for (int i = 0; i < 3; ++i)
            json += QString(R"(%1{"name": "S%2", "x": %3, "y": 0, "width": 1920, "height": 1080, )"
                            R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
                        .arg(i ? "," : "")
                        .arg(i)
                        .arg(i * 1920)
                        .toUtf8();
        f.write(json + "]}");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const QString cache = bench::cacheDir(argc, argv, 1);
    QApplication app(argc, argv);

    for (int n = 1; n <= 2; ++n) {
        const QString folder = home.path() + QString("/%1").arg(410 + n);
        QDir().mkpath(folder);
        for (int i = 0; i < 20; ++i) {
            const QString photo = cache + QString("/photo24mp-%1.jpg").arg(i);
            if (!bench::ensurePhoto24mp(photo, quint32(i))) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(photo));
                return 1;
            }
            const QString link = folder + QString("/IMG_%1.jpg").arg(i);
            if (::link(photo.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0)
                QFile::copy(photo, link);
        }
    }
    Preferences &prefs = Preferences::standard();
    prefs.setValues({{"prefDoSlideShow2", true},
                     {"prefDoSlideShow3", true},
                     {"prefSlideShowDelay2", 0},
                     {"prefSlideShowDelay3", 0},
                     {keys::prefUseTransitionMode, keys::transitionModeFixed},
                     {keys::prefTransitionStyle, "fade"},
                     {keys::prefShowPhotoWithFilename, true}});

    DisplayManager displays;
    displays.setupWindowControllers();
    int shown = 0;
    qint64 peak = 0, at200 = 0, maxAfter200 = 0, last = 0;
    QElapsedTimer clock;
    clock.start();
    for (int d = 1; d <= 2; ++d) {
        QObject::connect(displays.controller(d), &slideShowWindowController::slideShown, [&] {
            ++shown;
            last = residentKB();
            peak = qMax(peak, last);
            if (shown == 200)
                at200 = last;
            if (shown > 200)
                maxAfter200 = qMax(maxAfter200, last);
            if (shown >= slides)
                app.quit();
        });
        NotificationCenter::defaultCenter().post(
            "SlideShowParamChanged", {},
            {{"screenIndex", d}, {"sourcePath", home.path() + QString("/%1").arg(410 + d)}});
    }
    app.exec();
    const double growth = (maxAfter200 - at200) / 1024.0;
    const bool pass = peak < 250 * 1024 && growth < 10.0;
    std::printf("display memory, 2 displays, %d slides of 24 MP in %.1f s: peak RSS %.1f MB "
                "(budget 250 MB), at slide 200 %.1f MB, highest after %.1f MB, final %.1f MB, "
                "growth after slide 200 %.1f MB: %s\n",
                shown, clock.elapsed() / 1000.0, peak / 1024.0, at200 / 1024.0,
                maxAfter200 / 1024.0, last / 1024.0, growth, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
