// Decode-for-display of one photo, ours against libjpeg-turbo's djpeg and
// libvips' vipsthumbnail, in one run.
//
//   bench_decode PHOTO.jpg [ROUNDS]     compare and print figures and ratios
//   bench_decode --once PHOTO.jpg       decode once and exit (timed as a process)
//
// Figures are medians over interleaved rounds. "in-process" is the decode
// itself as the station runs it on a worker; "process" is a whole program run
// (start-up included) for every tool, for a like-for-like view.
#include "util/SlideImageLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QSize kTarget(1920, 1080);

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double timeProcess(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        std::exit(1);
    }
    return double(t.nsecsElapsed()) / 1e6;
}

double timeInProcess(const QString &photo)
{
    QElapsedTimer t;
    t.start();
    QString error;
    const QImage img = kivo::SlideImageLoader::loadScaledToFit(photo, kTarget, &error);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (img.isNull()) {
        std::fprintf(stderr, "decode failed: %s\n", qPrintable(error));
        std::exit(1);
    }
    return ms;
}

void row(const char *what, double ours, double peer)
{
    std::printf("  %-44s ours %8.1f ms   peer %8.1f ms   ratio %.2f\n", what, ours, peer,
                ours / peer);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--once") {
        const QImage img =
            kivo::SlideImageLoader::loadScaledToFit(QString::fromLocal8Bit(argv[2]), kTarget);
        return img.isNull() ? 1 : 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PHOTO.jpg [ROUNDS]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString photo = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 2 ? std::max(3, atoi(argv[2])) : 15;
    const QString self = QCoreApplication::applicationFilePath();
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (djpeg.isEmpty() || vips.isEmpty()) {
        std::fprintf(stderr,
                     "needs djpeg (libjpeg-turbo-progs) and vipsthumbnail (libvips-tools)\n");
        return 2;
    }
    QTemporaryDir out;
    const QStringList djpegArgs{"-scale", "3/8", "-outfile", "/dev/null", photo};
    const QStringList vipsArgs{"--size", "1920x1080", "-o", out.path() + "/%s.jpg", photo};

    // Warm the page cache and the code paths.
    timeInProcess(photo);
    timeProcess(djpeg, djpegArgs);
    timeProcess(vips, vipsArgs);
    timeProcess(self, {"--once", photo});

    std::vector<double> inProcess, ourProcess, djpegMs, vipsMs;
    for (int i = 0; i < rounds; ++i) {
        inProcess.push_back(timeInProcess(photo));
        djpegMs.push_back(timeProcess(djpeg, djpegArgs));
        vipsMs.push_back(timeProcess(vips, vipsArgs));
        ourProcess.push_back(timeProcess(self, {"--once", photo}));
    }
    const double ours = median(inProcess);
    const double oursProc = median(ourProcess);
    const double dj = median(djpegMs);
    const double vi = median(vipsMs);

    std::printf("decode %s to fit %dx%d, median of %d rounds\n", qPrintable(photo), kTarget.width(),
                kTarget.height(), rounds);
    row("in-process vs djpeg -scale 3/8 (target <= 1.25)", ours, dj);
    row("in-process vs vipsthumbnail (target <= 0.60)", ours, vi);
    row("process vs djpeg -scale 3/8", oursProc, dj);
    row("process vs vipsthumbnail", oursProc, vi);
    return 0;
}
