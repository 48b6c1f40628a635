#pragma once

#include <QDateTime>

#include <functional>
#include <memory>

namespace kivo {

// The station's wall clock. Everything that depends on the time of day (the
// business date, day-folder names, the daily relaunch) reads it here, so tests
// can move time without waiting.
class Clock
{
public:
    using Source = std::function<QDateTime()>;

    // The current local date and time.
    static QDateTime now();

    // Replaces the time source; an empty function restores the system clock.
    // Safe from any thread.
    static void setSource(Source source);
};

// Test clock: while it lives, Clock::now() gives its time, which moves only when
// told. Restores the system clock when destroyed.
class ScopedTestClock
{
public:
    explicit ScopedTestClock(const QDateTime &start);
    ~ScopedTestClock();
    ScopedTestClock(const ScopedTestClock &) = delete;
    ScopedTestClock &operator=(const ScopedTestClock &) = delete;

    void set(const QDateTime &time);
    void advanceSecs(qint64 seconds);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace kivo
