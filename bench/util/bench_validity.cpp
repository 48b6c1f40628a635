// Times IsValidImageObject against djpeg decoding the same file at 1/8 scale
// (the same amount of work: every scan entropy-decoded, DC-only output).
//
// Usage: bench_validity [-n ITERATIONS] [FILE.jpg ...]
// Without files a 6000x4000 (24-megapixel) photo-like JPEG is generated.
#include "util/FileHelpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

// Gradients with texture and noise, closer to a photo than flat colour.
bool writeTestPhoto(const QString &path)
{
    QImage img(6000, 4000, QImage::Format_RGB32);
    QRandomGenerator rng(2024);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x / 24 + n) % 256, (y / 16 + ((x ^ y) & 31) + n) % 256,
                           ((x + y) / 40 + n) % 256);
        }
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    return writer.write(img);
}

bool runDjpeg(const QByteArray &file)
{
    const char *argv[] = {"djpeg",     "-scale",         "1/8",  "-outfile",
                          "/dev/null", file.constData(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename F> double medianMs(int iterations, F &&work, bool *allOk)
{
    std::vector<double> times;
    work(); // warm the page cache
    for (int i = 0; i < iterations; ++i) {
        QElapsedTimer timer;
        timer.start();
        *allOk = work() && *allOk;
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int iterations = 15;
    if (args.size() >= 2 && args[0] == QLatin1String("-n")) {
        iterations = std::max(1, args[1].toInt());
        args = args.mid(2);
    }
    QTemporaryDir tmp;
    if (args.isEmpty()) {
        const QString generated = tmp.filePath(QStringLiteral("photo-24mp.jpg"));
        if (!writeTestPhoto(generated)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(generated));
            return 1;
        }
        args << generated;
    }

    std::printf("%-40s %12s %12s %8s\n", "file", "ours ms", "djpeg ms", "ratio");
    int failures = 0;
    for (const QString &file : args) {
        const QByteArray native = QFile::encodeName(file);
        bool oursOk = true;
        bool djpegOk = true;
        const double ours = medianMs(
            iterations, [&] { return kivo::IsValidImageObject(file); }, &oursOk);
        const double peer = medianMs(
            iterations, [&] { return runDjpeg(native); }, &djpegOk);
        std::printf("%-40s %12.2f %12.2f %8.2f%s\n", qPrintable(QFileInfo(file).fileName()), ours,
                    peer, ours / peer,
                    oursOk && djpegOk ? "" : "  (a decoder reported the file invalid)");
        failures += (oursOk && djpegOk) ? 0 : 1;
    }
    std::printf("median of %d runs each; ratio = ours / djpeg (target <= 1.20)\n", iterations);
    return failures == 0 ? 0 : 2;
}
