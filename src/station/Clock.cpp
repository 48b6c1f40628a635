#include "Clock.h"

#include <QMutex>
#include <QMutexLocker>

namespace kivo {

namespace {
QMutex &sourceMutex()
{
    static QMutex m;
    return m;
}

Clock::Source &currentSource()
{
    static Clock::Source s;
    return s;
}
} // namespace

QDateTime Clock::now()
{
    Source source;
    {
        QMutexLocker lock(&sourceMutex());
        source = currentSource();
    }
    return source ? source() : QDateTime::currentDateTime();
}

void Clock::setSource(Source source)
{
    QMutexLocker lock(&sourceMutex());
    currentSource() = std::move(source);
}

struct ScopedTestClock::State
{
    QMutex mutex;
    QDateTime time;
};

ScopedTestClock::ScopedTestClock(const QDateTime &start) : m_state(std::make_shared<State>())
{
    m_state->time = start;
    Clock::setSource([state = m_state] {
        QMutexLocker lock(&state->mutex);
        return state->time;
    });
}

ScopedTestClock::~ScopedTestClock()
{
    Clock::setSource({});
}

void ScopedTestClock::set(const QDateTime &time)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->time = time;
}

void ScopedTestClock::advanceSecs(qint64 seconds)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->time = m_state->time.addSecs(seconds);
}

} // namespace kivo
