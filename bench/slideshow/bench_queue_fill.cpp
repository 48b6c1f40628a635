// Filling a display's queue from a folder of 500 photos (24-megapixel JPEGs,
// hard links of one file so the folder costs no disk) while a 5 ms timer on
// the main thread measures how late it fires: the longest stall is how long
// the main thread was blocked at a time. Budget: 50 ms.

#include "BenchPhotos.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "slideshow/DisplayManager.h"
#include "slideshow/FolderAssignment.h"
#include "slideshow/slideShowWindowController.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

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

    // Lateness of a 5 ms timer: first 3 s idle (what the machine's own load
    // costs), then while the queue fills.
    QElapsedTimer clock;
    qint64 last = 0;
    bool filling = false;
    std::vector<qint64> idle, busy;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        (filling ? busy : idle).push_back(now - last - 5);
        last = now;
    });
    clock.start();
    probe.start();
    qint64 handler = 0;
    QTimer::singleShot(3000, [&] {
        filling = true;
        // The request is handled on the main thread: listing the folder counts.
        const qint64 before = clock.elapsed();
        NotificationCenter::defaultCenter().post("SlideShowParamChanged", {},
                                                 {{"screenIndex", 0}, {"sourcePath", folder}});
        handler = clock.elapsed() - before;
        busy.push_back(handler);
        last = clock.elapsed();
    });
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (filling && !display->folderAssignment().isFilling())
            app.quit();
    });
    done.start(20);
    app.exec();
    const double total = (clock.elapsed() - 3000) / 1000.0;
    const qsizetype queued = display->queue().entries().size();
    auto stats = [](std::vector<qint64> v) {
        std::sort(v.begin(), v.end());
        return std::pair<qint64, qint64>{v.empty() ? 0 : v[v.size() * 99 / 100],
                                         v.empty() ? 0 : v.back()};
    };
    const auto [idle99, idleMax] = stats(idle);
    const auto [busy99, worst] = stats(busy);
    std::printf("queue fill, 500 x 24 MP JPEG: %lld queued in %.1f s; request handler %lld ms; "
                "main-thread stall while filling: p99 %lld ms, longest %lld ms (budget 50 ms); "
                "idle machine: p99 %lld ms, longest %lld ms: %s\n",
                qlonglong(queued), total, qlonglong(handler), qlonglong(busy99), qlonglong(worst),
                qlonglong(idle99), qlonglong(idleMax),
                worst <= 50 && queued == 500 ? "PASS" : "FAIL");
    return worst <= 50 && queued == 500 ? 0 : 1;
}
