#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace kivo {

// Running external programs. Programs start directly (no shell), each in a
// process group of its own, with our standard input and standard error; their
// standard output is captured and decoded as UTF-8. "None" is std::nullopt:
// no path, a program that cannot be started, or output that is not valid
// UTF-8. Every function blocks until the program ends and may be called from
// any thread.
//
// No run outlives its time limit: the program's group is then sent TERM, and
// KILL a second later; the event is logged and the run counts as failed. A
// program that does not end even then is abandoned, so the caller never waits
// for good.
inline constexpr std::chrono::milliseconds kProgramTimeLimit{30000};

// Output of the program at `path`, or the text "Task failed." when it exits
// with a non-zero status, is killed by a signal or reaches its time limit.
// `args` absent: no arguments.
std::optional<QString> runThisShellScript(const QString &path,
                                          const std::optional<QStringList> &args = std::nullopt,
                                          std::chrono::milliseconds limit = kProgramTimeLimit);

// Output of the program at `path` whatever its exit status; none when it
// reaches its time limit (its output is incomplete).
std::optional<QString> runShellScript2(const QString &path,
                                       const std::optional<QStringList> &args = std::nullopt,
                                       std::chrono::milliseconds limit = kProgramTimeLimit);

// Runs the auxiliary executable `name` (AppPaths::auxiliaryExecutable) with
// runThisShellScript and drops its output. Always false.
bool runShellScript(const QString &name, const std::optional<QStringList> &args = std::nullopt,
                    std::chrono::milliseconds limit = kProgramTimeLimit);

// Shows the folder (a leading "~" is the home folder) in the desktop's file
// browser through "revealInFinder.sh"; anything but an existing folder gives
// the alert sound and a log line.
void revealItemInFinder(const QString &path);

// Runs the command line through /bin/sh -c and returns at most the first
// 512 000 bytes of its standard output, or none when it printed nothing or
// could not start. A command still writing past that limit, or past its time
// limit, is ended. The exit status is not used.
std::optional<QString> runShellCommand(const QString &commandLine,
                                       std::chrono::milliseconds limit = kProgramTimeLimit);

// The output limit of runShellCommand, in bytes.
inline constexpr qsizetype kShellCommandOutputLimit = 512000;

} // namespace kivo
