#pragma once

namespace kivo {

// kivo-slideshow --status [--json]: asks the running station over the session
// bus (StatusBus, kTimeoutMs at most, without the single-instance lock) and
// prints a short summary, or the JSON as the station gave it. Exit status
// kOk, kDegraded (each reason printed), kNotRunning or kNotAnswering (a
// station whose main thread is frozen). Needs a QCoreApplication.
int printStatus(bool json);

inline constexpr int kStatusTimeoutMs = 2000;
inline constexpr int kStatusOk = 0;
inline constexpr int kStatusDegraded = 1;
inline constexpr int kStatusNotRunning = 3;
inline constexpr int kStatusNotAnswering = 4;

} // namespace kivo
