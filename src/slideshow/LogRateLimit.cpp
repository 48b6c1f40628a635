#include "LogRateLimit.h"

#include "platform/Log.h"

namespace kivo {

void LogRateLimit::log(const QLoggingCategory &category, const QString &text)
{
    if (!m_clock.isValid())
        m_clock.start();
    const qint64 now = m_clock.elapsed();
    m_allowance = qMin(double(kBurst), m_allowance + double(now - m_lastMs) / 1000.0);
    m_lastMs = now;
    if (m_allowance < 1.0) {
        ++m_leftOut;
        return;
    }
    m_allowance -= 1.0;
    logLine(category, text);
    if (m_leftOut > 0) {
        logLine(category, QStringLiteral("...%1 lines like the one above were left out before it")
                              .arg(m_leftOut));
        m_leftOut = 0;
    }
}

} // namespace kivo
