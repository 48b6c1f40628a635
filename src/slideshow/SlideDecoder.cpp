#include "SlideDecoder.h"

#include "SlideshowLog.h"
#include "platform/Log.h"
#include "util/Async.h"
#include "util/SlideImageLoader.h"

#include <QFileInfo>
#include <QTimer>

#include <memory>

namespace kivo {

namespace {
// How long the destructor waits for a load that is not known to be stuck.
constexpr int kStopWaitMs = 300;

SlideDecoder::Result loadSlide(const QString &folder, const QString &path, QSize target)
{
    using Outcome = SlideDecoder::Result::Outcome;
    SlideDecoder::Result result;
    result.path = path;
    const QFileInfo info(path);
    if (!folder.isEmpty() && !QFileInfo::exists(folder)) {
        result.outcome = Outcome::NoFolder;
    } else if (!info.exists()) {
        result.outcome = Outcome::Missing;
        result.error = QStringLiteral("does not exist");
    } else if (info.isDir()) {
        result.outcome = Outcome::Directory;
        result.error = QStringLiteral("is a directory");
    } else {
        result.image = SlideImageLoader::loadScaledToFit(path, target, &result.error);
    }
    if (!result.image.isNull())
        result.outcome = Outcome::Loaded;
    return result;
}
} // namespace

SlideDecoder::SlideDecoder(QObject *parent)
    : QObject(parent), m_pool(QStringLiteral("SlideDecoder->dealloc"), 1, kMaxStuck)
{}

SlideDecoder::~SlideDecoder()
{
    m_pool.shutdown(kStopWaitMs);
}

void SlideDecoder::load(const QString &folder, const QString &path, QSize target, Delivery deliver)
{
    // Answered once: by the load, or by the timer that gives it up.
    auto answered = std::make_shared<bool>(false);
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, timer, answered, path, deliver] {
        timer->deleteLater();
        *answered = true;
        m_pool.markStuck();
        logLine(lcSlideshow(),
                QStringLiteral("SlideDecoder->load... [%1] gave no answer in %2 ms, given up "
                               "(%3 stuck)")
                    .arg(path)
                    .arg(m_timeoutMs)
                    .arg(m_pool.stuckCount()));
        deliver({Result::Outcome::TimedOut, path, QImage(), QStringLiteral("no answer in time")});
    });
    timer->start(m_timeoutMs);
    Async::run(
        m_pool, this, [folder, path, target] { return loadSlide(folder, path, target); },
        [this, timer, answered, deliver](const Result &result) {
            if (*answered) {
                m_pool.unmarkStuck();
                logLine(lcSlideshow(),
                        QStringLiteral("SlideDecoder->load... [%1] given up before, answered now")
                            .arg(result.path));
                return;
            }
            *answered = true;
            delete timer;
            deliver(result);
        });
}

} // namespace kivo
