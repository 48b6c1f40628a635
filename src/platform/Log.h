#pragma once

#include <QString>

namespace kivo {

// Writes one log line to the standard error stream, which the log file set-up
// may redirect to the day's log file. Safe from any thread.
void logLine(const QString &text);

// Routes qDebug/qWarning/qCritical through logLine so every line has one form.
void installQtMessageHandler();

} // namespace kivo
