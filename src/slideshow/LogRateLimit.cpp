#include "LogRateLimit.h"

#include "platform/Log.h"

namespace kivo {

void LogRateLimit::log(const QLoggingCategory &category, const QString &text)
{
    if (!mClock.isValid())
        mClock.start();
    const qint64 now = mClock.elapsed();
    mAllowance = qMin(double(kBurst), mAllowance + double(now - mLastMs) / 1000.0);
    mLastMs = now;
    if (mAllowance < 1.0) {
        ++mLeftOut;
        return;
    }
    mAllowance -= 1.0;
    logLine(category, text);
    if (mLeftOut > 0) {
        logLine(
            category,
            QStringLiteral("...%1 lines like the one above were left out before it").arg(mLeftOut));
        mLeftOut = 0;
    }
}

} // namespace kivo
