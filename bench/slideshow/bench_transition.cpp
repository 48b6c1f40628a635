// One transition frame at 1920x1080 (or --size WxH, e.g. 3840x2160) for each style, painted by the
// view's own frame painter into an image the size of the screen, the backdrop included where no
// slide covers, as a window repaint does. Reports the median per style against the 8 ms budget,
// and against the floor: one plain full-screen blit.
#include "slideshow/SlideshowView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QVariantAnimation>

#include <algorithm>
#include <cstdio>
#include <vector>

using kivo::SlideshowView;

namespace {

constexpr double kBudgetMs = 8.0;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Photo-like content: smooth gradients with noise, so nothing compresses away.
QImage photo(QSize size, quint32 seed)
{
    QImage img(size, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(32));
            line[x] = qRgb((x * 255 / size.width() + n) & 0xff,
                           (y * 255 / size.height() + n) & 0xff, (seed * 40 + n) & 0xff);
        }
    }
    return img;
}

template <typename Paint> double timeFrames(int frames, QImage &target, Paint paint)
{
    std::vector<double> ms;
    ms.reserve(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        QElapsedTimer t;
        t.start();
        {
            QPainter p(&target);
            paint(p, (i % 19 + 1) / 20.0);
        }
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(ms);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // [--size WxH] [frames]
    QSize kScreen(1920, 1080);
    QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args.first() == QLatin1String("--size")) {
        const QStringList wh = args.at(1).split(u'x');
        kScreen = wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize();
        args = args.mid(2);
        if (kScreen.isEmpty()) {
            std::fprintf(stderr, "usage: bench_transition [--size WxH] [frames]\n");
            return 2;
        }
    }
    const int frames = args.isEmpty() ? 200 : std::max(10, args.first().toInt());

    // 3:2 photos on a 16:9 screen: slides as high as the screen, letterboxed.
    const QSize slide(kScreen.height() * 3 / 2, kScreen.height());
    const QImage oldSlide = photo(slide, 1);
    const QImage newSlide = photo(slide, 2);
    QImage target(kScreen, QImage::Format_ARGB32_Premultiplied);

    const QImage full = photo(kScreen, 3);
    const double floorMs =
        timeFrames(frames, target, [&](QPainter &p, qreal) { p.drawImage(0, 0, full); });

    SlideshowView view;
    view.resize(kScreen);
    view.setBackdrop([](QPainter &p, const QRect &area) { p.fillRect(area, QColor(40, 40, 40)); });
    std::printf("transition frame %dx%d, median of %d frames (budget %.1f ms)\n", kScreen.width(),
                kScreen.height(), frames, kBudgetMs);
    std::printf("  %-8s %8.2f ms   (reference: one full-screen blit)\n", "blit", floorMs);
    bool ok = true;
    for (const char *style : {"fade", "moveIn", "push", "reveal"}) {
        view.updateSubviewsWithTransition(QStringLiteral("No Transition Effect"));
        view.transitionToImage(oldSlide);
        view.updateSubviewsWithTransition(QString::fromLatin1(style));
        view.transitionToImage(newSlide);
        view.transitionAnimation()->pause();
        const double ms = timeFrames(frames, target, [&](QPainter &p, qreal t) {
            view.paintFrame(p, t, QRegion(target.rect()));
        });
        // The frame really holds a slide, not just the background.
        bool painted = false;
        for (int x = 0; x < kScreen.width(); x += 16)
            painted = painted || target.pixel(x, kScreen.height() / 2) != qRgb(40, 40, 40);
        if (!painted) {
            std::fprintf(stderr, "%s painted nothing\n", style);
            return 1;
        }
        ok = ok && ms < kBudgetMs;
        std::printf("  %-8s %8.2f ms   %.2fx one blit   %s\n", style, ms, ms / floorMs,
                    ms < kBudgetMs ? "within budget" : "OVER BUDGET");
    }
    return ok ? 0 : 1;
}
