#include "SlideDecoder.h"

#include "SlideshowLog.h"
#include "platform/Log.h"
#include "util/Async.h"
#include "util/SlideImageLoader.h"

#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <mutex>
#include <vector>

namespace kivo {

namespace {
// How long the destructor waits for a load that is not known to be stuck.
constexpr int kStopWaitMs = 300;

// Pools left behind with a load still running, reachable until the process
// ends (a pool's destructor would wait for good).
void keepLeftBehind(QThreadPool *pool)
{
    static std::mutex mutex;
    static auto *kept = new std::vector<QThreadPool *>;
    const std::lock_guard lock(mutex);
    kept->push_back(pool);
}

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

SlideDecoder::SlideDecoder(QObject *parent) : QObject(parent), mPool(new QThreadPool)
{
    mPool->setMaxThreadCount(1);
}

SlideDecoder::~SlideDecoder()
{
    mPool->clear();
    if (mStuck == 0 && mPool->waitForDone(kStopWaitMs)) {
        delete mPool;
        return;
    }
    logLine(lcSlideshow(),
            QStringLiteral("SlideDecoder->dealloc... leaving %1 stuck load(s) behind")
                .arg(qMax(mStuck, 1)));
    keepLeftBehind(mPool);
}

void SlideDecoder::setStuck(int stuck)
{
    mStuck = stuck;
    mPool->setMaxThreadCount(1 + stuck);
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
        setStuck(mStuck + 1);
        logLine(lcSlideshow(),
                QStringLiteral("SlideDecoder->load... [%1] gave no answer in %2 ms, given up "
                               "(%3 stuck)")
                    .arg(path)
                    .arg(mTimeoutMs)
                    .arg(mStuck));
        deliver({Result::Outcome::TimedOut, path, QImage(), QStringLiteral("no answer in time")});
    });
    timer->start(mTimeoutMs);
    Async::run(
        *mPool, this, [folder, path, target] { return loadSlide(folder, path, target); },
        [this, timer, answered, deliver](const Result &result) {
            if (*answered) {
                setStuck(mStuck - 1);
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
