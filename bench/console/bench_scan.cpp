// The console's scan of a busy day: 300 code folders of 50 photos each.
// Reports, per run, when the rows are listed and when every photo count is
// shown (both from the scan's start), and the longest the main thread went
// without serving its event loop meanwhile (a 2 ms timer measures the gaps).
// The peer is `find DAY -mindepth 2 -maxdepth 2 -iname '*.jpg'`, which only
// lists what the counts need; the ratio compares it with the full scan.
//
// Targets: rows within 300 ms, every count within 1.5 s, no stall over 100 ms.
#include "console/MainWindowController.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace kivo;

namespace {
constexpr int kCodes = 300;
constexpr int kPhotos = 50;
constexpr int kRuns = 5;

void makeDay(const QString &day)
{
    for (int c = 0; c < kCodes; ++c) {
        const QString code = QStringLiteral("2025%1").arg(c, 4, 10, QLatin1Char('0'));
        const QString folder = day + QLatin1Char('/') + code;
        QDir().mkpath(folder);
        QFile xml(folder + QLatin1Char('/') + code + QLatin1String(".xml"));
        if (!xml.open(QIODevice::WriteOnly))
            std::abort();
        xml.write(QStringLiteral("<?xml version=\"1.0\"?><data><code>%1</code><name>Party %1"
                                 "</name><email>p%1@example.com</email><room>Room 7</room></data>")
                      .arg(code)
                      .toUtf8());
        for (int p = 0; p < kPhotos; ++p) {
            QFile photo(folder + QStringLiteral("/IMG_%1.JPG").arg(p, 4, 10, QLatin1Char('0')));
            if (!photo.open(QIODevice::WriteOnly))
                std::abort();
            photo.write(QByteArray(2048, '\xff'));
        }
    }
}

struct Figures
{
    double rowsMs = 0, countsMs = 0, stallMs = 0;
};

Figures runOnce(MainWindowController &console)
{
    Figures figures;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        figures.stallMs = std::max(figures.stallMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QEventLoop loop;
    auto listed = QObject::connect(&console, &MainWindowController::scanListed,
                                   [&] { figures.rowsMs = clock.nsecsElapsed() / 1e6; });
    auto done = QObject::connect(&console, &MainWindowController::scanFinished, [&] {
        figures.countsMs = clock.nsecsElapsed() / 1e6;
        loop.quit();
    });
    ticker.start();
    sinceTick.start();
    clock.start();
    console.reloadAllData();
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    ticker.stop();
    QObject::disconnect(listed);
    QObject::disconnect(done);
    return figures;
}

double peerMs(const QString &day)
{
    QElapsedTimer clock;
    clock.start();
    QProcess find;
    find.start(QStringLiteral("find"),
               {day, QStringLiteral("-mindepth"), QStringLiteral("2"), QStringLiteral("-maxdepth"),
                QStringLiteral("2"), QStringLiteral("-iname"), QStringLiteral("*.jpg")});
    find.waitForFinished(-1);
    find.readAllStandardOutput();
    return clock.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!std::freopen("/dev/null", "w", stderr)) // the station's log goes to its file
        return 1;
    QApplication app(argc, argv);
    const QString root = home.filePath(QStringLiteral("images"));
    Preferences::standard().setValue(QLatin1String(keys::prefSlideShowPath), root);
    const QString day = root + QLatin1Char('/') + getDailyFolderName();
    makeDay(day);

    MainWindowController console;
    console.show();
    QEventLoop settle;
    QObject::connect(&console, &MainWindowController::scanFinished, &settle, &QEventLoop::quit);
    QTimer::singleShot(20000, &settle, &QEventLoop::quit);
    if (console.isScanRunning())
        settle.exec();

    std::printf("console scan of %d codes x %d photos (%d runs)\n", kCodes, kPhotos, kRuns);
    std::printf("%-6s %12s %14s %14s %12s\n", "run", "rows ms", "all counts ms", "max stall ms",
                "find ms");
    Figures worst;
    double peerWorst = 0;
    for (int run = 1; run <= kRuns; ++run) {
        const Figures f = runOnce(console);
        const double peer = peerMs(day);
        std::printf("%-6d %12.1f %14.1f %14.1f %12.1f\n", run, f.rowsMs, f.countsMs, f.stallMs,
                    peer);
        worst.rowsMs = std::max(worst.rowsMs, f.rowsMs);
        worst.countsMs = std::max(worst.countsMs, f.countsMs);
        worst.stallMs = std::max(worst.stallMs, f.stallMs);
        peerWorst = std::max(peerWorst, peer);
    }
    std::printf("worst: rows %.1f ms (target 300), counts %.1f ms (target 1500), stall %.1f ms "
                "(target 100); scan / find = %.2f\n",
                worst.rowsMs, worst.countsMs, worst.stallMs, worst.countsMs / peerWorst);
    const bool met = worst.rowsMs <= 300 && worst.countsMs <= 1500 && worst.stallMs <= 100;
    std::printf("%s\n", met ? "targets met" : "TARGETS MISSED");
    return met ? 0 : 1;
}
