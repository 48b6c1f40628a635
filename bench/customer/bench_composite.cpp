// Framing customer photos with the overlay, ours against libvips and
// ImageMagick, in one run; then the two-core batch rate and the peak memory
// of a 40-photo preparation.
//
//   bench_composite PHOTO.jpg [ROUNDS]          compare and print figures and ratios
//   bench_composite --prepare DIR COUNT THREADS CPUS
//                                                one preparation of COUNT photos on the
//                                                first CPUS cores (child run); prints its
//                                                milliseconds and peak memory in KiB
//
// Figures are medians over interleaved rounds. A peer's figure is its whole
// pipeline as programs: vipsthumbnail + vips composite2, or one convert run.
#include "customer/CustomerSlideshowFolder.h"
#include "customer/OverlayCompositor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sched.h>
#include <sys/time.h>
#include <vector>

using namespace kivo;

namespace {

const QSize kOverlay(1800, 1200);

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

double timeProcesses(const QList<std::pair<QString, QStringList>> &runs)
{
    QElapsedTimer t;
    t.start();
    for (const auto &[program, args] : runs) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, args);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(program));
            std::exit(1);
        }
    }
    return ms(t);
}

bool writeOverlay(const QString &path)
{
    QImage img(kOverlay, QImage::Format_ARGB32);
    img.fill(QColor(120, 30, 40));
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(150, 100, 1500, 1000), Qt::transparent);
    p.end();
    return img.save(path, "png");
}

// Copies the photo COUNT times into DIR/day/7/ with settled modification times.
QStringList makeBatch(const QString &photo, const QString &dir, int count)
{
    QStringList entries;
    QDir().mkpath(dir + QStringLiteral("/day/7"));
    for (int i = 0; i < count; ++i) {
        const QString rel = QStringLiteral("7/p%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        const QString path = dir + QStringLiteral("/day/") + rel;
        if (!QFile::exists(path))
            QFile::copy(photo, path);
        struct timeval tv[2];
        gettimeofday(&tv[0], nullptr);
        tv[0].tv_sec -= 60;
        tv[1] = tv[0];
        utimes(QFile::encodeName(path).constData(), tv);
        entries.append(rel);
    }
    return entries;
}

// One console-mode preparation; milliseconds from the request to its end.
double prepare(const QString &dir, const QStringList &entries, int threads)
{
    CustomerSlideshowFolder folder;
    folder.setWorkingFolder(dir + QStringLiteral("/work"));
    folder.setOverlayFolder(dir + QStringLiteral("/Desktop"));
    folder.setCompositeThreads(threads);
    folder.setScreenCount([] { return 2; });
    int prepared = -1;
    QEventLoop loop;
    QObject::connect(&folder, &CustomerSlideshowFolder::preparationFinished, &loop, [&](int count) {
        prepared = count;
        loop.quit();
    });
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    folder.handleFoundImages({{QStringLiteral("searchPath"), dir + QStringLiteral("/day")}},
                             entries);
    loop.exec();
    const double elapsed = ms(t);
    if (prepared != entries.size()) {
        std::fprintf(stderr, "preparation failed\n");
        std::exit(1);
    }
    return elapsed;
}

long peakKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Runs one preparation in a fresh process limited to the first `cpus` cores:
// {milliseconds, peak KiB}.
std::pair<double, long> prepareInChild(const QString &dir, int count, int threads, int cpus)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--prepare"), dir, QString::number(count), QString::number(threads),
                 QString::number(cpus)});
    child.waitForFinished(600000);
    const QStringList out = QString::fromLocal8Bit(child.readAllStandardOutput()).split(u' ');
    if (child.exitCode() != 0 || out.size() != 2)
        std::exit(1);
    return {out[0].toDouble(), out[1].trimmed().toLong()};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The preferences store of a private home, not the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    if (argc == 6 && QByteArray(argv[1]) == "--prepare") {
        cpu_set_t set;
        CPU_ZERO(&set);
        for (int i = 0; i < atoi(argv[5]); ++i)
            CPU_SET(i, &set);
        sched_setaffinity(0, sizeof set, &set);
        const QString dir = QString::fromLocal8Bit(argv[2]);
        const QStringList entries =
            makeBatch(dir + QStringLiteral("/photo.jpg"), dir, atoi(argv[3]));
        const double elapsed = prepare(dir, entries, atoi(argv[4]));
        std::printf("%.1f %ld\n", elapsed, peakKiB());
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PHOTO.jpg [ROUNDS]\n", argv[0]);
        return 2;
    }
    const QString photo = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 2 ? std::max(3, atoi(argv[2])) : 9;
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vips"));
    const QString vipsthumbnail = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (vips.isEmpty() || vipsthumbnail.isEmpty() || convert.isEmpty()) {
        std::fprintf(stderr,
                     "needs vips, vipsthumbnail (libvips-tools) and convert (imagemagick)\n");
        return 2;
    }
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    const QString overlay = dir + QStringLiteral("/Desktop/Slideshow_LS.png");
    QDir().mkpath(dir + QStringLiteral("/Desktop"));
    QDir().mkpath(dir + QStringLiteral("/out"));
    if (!writeOverlay(overlay) || !QFile::copy(photo, dir + QStringLiteral("/photo.jpg")))
        return 1;
    const QSize size = QImage(photo).size();
    const QString thumb = dir + QStringLiteral("/out/thumb.v");
    const QList<std::pair<QString, QStringList>> vipsRuns{
        {vipsthumbnail,
         {photo, QStringLiteral("--size"), QStringLiteral("1800x1200"), QStringLiteral("-o"),
          thumb}},
        {vips,
         {QStringLiteral("composite2"), thumb, overlay, dir + QStringLiteral("/out/vips.jpg[Q=90]"),
          QStringLiteral("over")}}};
    const QList<std::pair<QString, QStringList>> magickRuns{
        {convert,
         {QStringLiteral("-define"), QStringLiteral("jpeg:size=3600x2400"), photo,
          QStringLiteral("-thumbnail"), QStringLiteral("1800x1200"), overlay,
          QStringLiteral("-composite"), QStringLiteral("-quality"), QStringLiteral("90"),
          dir + QStringLiteral("/out/magick.jpg")}}};

    OverlayCompositor compositor(dir + QStringLiteral("/Desktop"), dir + QStringLiteral("/out"));
    auto ours = [&] {
        QElapsedTimer t;
        t.start();
        const QString result = compositor.applyOverlayToSourceItem(photo);
        const double elapsed = ms(t);
        if (result.isEmpty())
            std::exit(1);
        QFile::remove(result);
        return elapsed;
    };
    ours();
    timeProcesses(vipsRuns);
    timeProcesses(magickRuns);
    std::vector<double> oursMs, vipsMs, magickMs;
    for (int i = 0; i < rounds; ++i) {
        oursMs.push_back(ours());
        vipsMs.push_back(timeProcesses(vipsRuns));
        magickMs.push_back(timeProcesses(magickRuns));
    }
    const double o = median(oursMs), v = median(vipsMs), m = median(magickMs);
    std::printf("frame a %dx%d photo with a %dx%d overlay, median of %d rounds\n", size.width(),
                size.height(), kOverlay.width(), kOverlay.height(), rounds);
    std::printf("  %-46s ours %8.1f ms   peer %8.1f ms   ratio %.2f\n",
                "vs vipsthumbnail + vips composite2 (<= 0.60)", o, v, o / v);
    std::printf("  %-46s ours %8.1f ms   peer %8.1f ms   ratio %.2f\n",
                "vs convert -define jpeg:size (<= 0.50)", o, m, o / m);

    // A batch of 20: one thread on one core against the cores' count of
    // threads on every core (each run a fresh process pinned accordingly).
    const int cores = std::max(1, QThread::idealThreadCount());
    prepareInChild(dir, 20, cores, cores);
    std::vector<double> one, all;
    for (int i = 0; i < 3; ++i) {
        one.push_back(prepareInChild(dir, 20, 1, 1).first);
        all.push_back(prepareInChild(dir, 20, cores, cores).first);
    }
    const double r1 = 20000.0 / median(one), rn = 20000.0 / median(all);
    std::printf("  %-46s 1 core %6.2f/s   %d cores %6.2f/s   ratio %.2f\n",
                "batch of 20 photos (>= 1.70)", r1, cores, rn, rn / r1);

    // Peak memory of a 40-photo preparation, in a fresh process.
    const long kib = prepareInChild(dir, 40, cores, cores).second;
    std::printf("  %-46s %.1f MB\n", "peak memory, 40-photo preparation (< 200)", kib / 1024.0);
    return 0;
}
