#pragma once

#include <QElapsedTimer>
#include <QString>

class QLoggingCategory;

namespace kivo {

// Bounds a log line that can repeat at slide rate: a burst of lines passes,
// then one a second; the lines left out meanwhile are counted by a line
// after the next one that passes. Main thread only.
class LogRateLimit
{
public:
    static constexpr int kBurst = 10;

    void log(const QLoggingCategory &category, const QString &text);

private:
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0;
    double m_allowance = kBurst;
    int m_leftOut = 0;
};

} // namespace kivo
