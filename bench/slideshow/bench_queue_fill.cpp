// Filling a display's queue from a folder of 500 photos (24-megapixel JPEGs,
// hard links of one file so the folder costs no disk) while a 5 ms timer on
// the main thread measures how late it fires: the longest stall is how long
// the main thread was blocked at a time. Budget: 50 ms.

#include "BenchPhotos.h"
#include "app/PrefKeys.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/slideShowWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace kivo;

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QTemporaryDir home;
    const QString cache = bench::cacheDir(argc, argv, 1);
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);

    const QString source = cache + "/photo24mp-0.jpg";
    if (!bench::ensurePhoto24mp(source, 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    const QString folder = home.path() + "/0412";
    QDir().mkpath(folder);
    for (int i = 0; i < 500; ++i) {
        const QString link = folder + QString("/IMG_%1.jpg").arg(i, 4, 10, QChar('0'));
        if (::link(source.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0)
            QFile::copy(source, link);
    }
    Preferences::standard().setValue("prefDoSlideShow1", false);

    DisplayManager displays;
    displays.setupWindowControllers();
    slideShowWindowController *display = displays.controller(0);

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = qMax(worst, now - last - 5);
        last = now;
    });
    clock.start();
    probe.start();
    // The request is handled on the main thread: listing the folder counts too.
    QTimer::singleShot(20, [&] {
        const qint64 before = clock.elapsed();
        NotificationCenter::defaultCenter().post(
            "SlideShowParamChanged", {}, {{"screenIndex", 0}, {"sourcePath", folder}});
        worst = qMax(worst, clock.elapsed() - before);
        last = clock.elapsed();
    });
    QTimer::singleShot(100, [&] {
        display->waitForQueueFilling(600000);
        app.quit();
    });
    // waitForQueueFilling spins the event loop, so the probe keeps running.
    app.exec();
    const qint64 total = clock.elapsed();
    const qsizetype queued = display->queue().entries().size();
    std::printf("queue fill, 500 x 24 MP JPEG: %lld queued in %.1f s; longest main-thread "
                "stall %lld ms (budget 50 ms): %s\n",
                qlonglong(queued), total / 1000.0, qlonglong(worst),
                worst <= 50 && queued == 500 ? "PASS" : "FAIL");
    return worst <= 50 && queued == 500 ? 0 : 1;
}
