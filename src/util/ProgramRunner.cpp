#include "ProgramRunner.h"

#include "FileHelpers.h"
#include "UtilLog.h"
#include "platform/AlertSound.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace kivo {

namespace {

using std::chrono::milliseconds;

// How long an ended program gets after TERM, and after KILL.
constexpr int kEndGraceMs = 1000;

struct Outcome
{
    bool started = false;
    bool succeeded = false; // exited normally with status 0
    bool timedOut = false;
    QByteArray output;
};

// `cut`: the bytes may end inside a character (a capped read); that last
// partial character is dropped rather than counted as invalid.
std::optional<QString> decodeUtf8(const QByteArray &bytes, bool cut = false)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           cut ? QStringDecoder::Flag::Default : QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString describeArgs(const QStringList &args)
{
    QString text = QStringLiteral("(\n");
    for (qsizetype i = 0; i < args.size(); ++i)
        text +=
            QStringLiteral("    ") + logSafe(args[i], 300) + (i + 1 < args.size() ? ",\n" : "\n");
    return text + QLatin1Char(')');
}

// The program gets a process group of its own, so that ending it also ends
// what it started (a find stuck on a dead mount, say).
std::unique_ptr<QProcess> newProcess()
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    return process;
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(std::max<qint64>(0, deadline.remainingTime()));
}

// Ends a running program's group: TERM, then KILL. One that does not end even
// then (stuck in the kernel) is abandoned with its QProcess, whose destructor
// would wait for it.
void endRun(std::unique_ptr<QProcess> &process, const QString &who, const QString &what)
{
    const pid_t group = pid_t(process->processId());
    for (const int signal : {SIGTERM, SIGKILL}) {
        if (group > 0)
            ::kill(-group, signal);
        if (process->state() == QProcess::NotRunning || process->waitForFinished(kEndGraceMs))
            return;
    }
    logLine(lcUtil(),
            QStringLiteral("%1 => [%2] does not end even when killed: left behind").arg(who, what));
    (void)process.release();
}

void logTimeLimit(const QString &who, const QString &what, milliseconds limit)
{
    logLine(lcUtil(), QStringLiteral("%1 => [%2] still runs after its time limit of %3 ms: "
                                     "ending it")
                          .arg(who, what)
                          .arg(limit.count()));
}

Outcome runToEnd(const QString &who, const QString &path, const QStringList &args,
                 milliseconds limit)
{
    Outcome outcome;
    std::unique_ptr<QProcess> process = newProcess();
    const QDeadlineTimer deadline(limit);
    process->start(path, args, QIODevice::ReadOnly);
    if (!process->waitForStarted(remainingMs(deadline))) {
        logLine(lcUtil(), QStringLiteral("%1 FAILED => unable to start [%2]: %3")
                              .arg(who, path, process->errorString()));
        endRun(process, who, path);
        return outcome;
    }
    outcome.started = true;
    while (process->state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process->waitForFinished(remainingMs(deadline));
        outcome.output += process->readAllStandardOutput();
    }
    if (process->state() != QProcess::NotRunning) {
        outcome.timedOut = true;
        logTimeLimit(who, path, limit);
        endRun(process, who, path);
        return outcome;
    }
    outcome.output += process->readAllStandardOutput();
    outcome.succeeded = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    return outcome;
}

// The shared body of runThisShellScript and runShellScript2.
std::optional<QString> runAndCapture(const QString &who, bool failedYieldsMarker,
                                     const QString &path, const std::optional<QStringList> &args,
                                     milliseconds limit)
{
    if (path.isEmpty()) {
        logLine(lcUtil(), QStringLiteral("\n\n%1 FAILED => scriptName==nil!\n\n").arg(who));
        return std::nullopt;
    }
    logLine(lcUtil(), QStringLiteral("%1 => scriptName = [%2]").arg(who, path));
    if (args)
        logLine(lcUtil(), QStringLiteral("%1 => param:\n%2").arg(who, describeArgs(*args)));
    else
        logLine(lcUtil(), QStringLiteral("%1 => NO param").arg(who));

    const Outcome outcome = runToEnd(who, path, args.value_or(QStringList()), limit);
    if (!outcome.started || (outcome.timedOut && !failedYieldsMarker))
        return std::nullopt;
    if (!outcome.succeeded) {
        logLine(lcUtil(), QStringLiteral("%1 Task failed.").arg(who));
        if (failedYieldsMarker)
            return QStringLiteral("Task failed.");
    } else if (failedYieldsMarker) {
        logLine(lcUtil(), QStringLiteral("%1 Task succeeded.").arg(who));
    }
    std::optional<QString> text = decodeUtf8(outcome.output);
    if (!text) {
        logLine(lcUtil(), QStringLiteral("%1 got back output that is not UTF-8 text").arg(who));
        return std::nullopt;
    }
    // The output may list a whole folder of the photo store: cut short.
    logLine(lcUtil(), QStringLiteral("%1 got back:\n%2\n").arg(who, logSafe(*text, 2000)));
    return text;
}

} // namespace

std::optional<QString>
runThisShellScript(const QString &path, const std::optional<QStringList> &args, milliseconds limit)
{
    return runAndCapture(QStringLiteral("runThisShellScript"), true, path, args, limit);
}

std::optional<QString> runShellScript2(const QString &path, const std::optional<QStringList> &args,
                                       milliseconds limit)
{
    return runAndCapture(QStringLiteral("runShellScript2"), false, path, args, limit);
}

bool runShellScript(const QString &name, const std::optional<QStringList> &args, milliseconds limit)
{
    if (name.isEmpty()) {
        logLine(lcUtil(), QStringLiteral("\n\nrunShellScript FAILED => scriptName==nil!\n\n"));
        return false;
    }
    const QString path = AppPaths::auxiliaryExecutable(name);
    if (path.isEmpty()) {
        logLine(lcUtil(), QStringLiteral(
                              "\n\nrunShellScript FAILED => UNABLE to find script named: [%1]!\n\n")
                              .arg(name));
        return false;
    }
    runThisShellScript(path, args, limit);
    return false;
}

void revealItemInFinder(const QString &path)
{
    logLine(lcUtil(),
            QStringLiteral("Inside revealItemInFinder...revealItemInFinder => %1...").arg(path));
    if (!path.isEmpty()) {
        const QString expanded = expandTilde(path);
        if (QFileInfo(expanded).isDir()) {
            runShellScript(QStringLiteral("revealInFinder.sh"),
                           QStringList{QFileInfo(expanded).absoluteFilePath()});
            return;
        }
    }
    AlertSound::play();
    logLine(lcUtil(), QStringLiteral("User Needs to Select a Valid Existing Folder..."));
}

std::optional<QString> runShellCommand(const QString &commandLine, milliseconds limit)
{
    const QString who = QStringLiteral("runShellCommand");
    std::unique_ptr<QProcess> process = newProcess();
    const QDeadlineTimer deadline(limit);
    process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine},
                   QIODevice::ReadOnly);
    if (!process->waitForStarted(remainingMs(deadline))) {
        logLine(lcUtil(), QStringLiteral("runShellCommand => unable to start [%1]: %2")
                              .arg(commandLine, process->errorString()));
        endRun(process, who, commandLine);
        return std::nullopt;
    }
    QByteArray output;
    while (output.size() < kShellCommandOutputLimit && !deadline.hasExpired()) {
        if (process->bytesAvailable() == 0 && !process->waitForReadyRead(remainingMs(deadline)))
            break;
        output += process->read(kShellCommandOutputLimit - output.size());
    }
    if (output.size() < kShellCommandOutputLimit)
        output += process->read(kShellCommandOutputLimit - output.size());
    if (process->state() != QProcess::NotRunning) {
        // Past the output or time limit: end the command rather than drain it forever.
        if (deadline.hasExpired())
            logTimeLimit(who, commandLine, limit);
        endRun(process, who, commandLine);
    }
    if (output.isEmpty())
        return std::nullopt;
    return decodeUtf8(output, output.size() == kShellCommandOutputLimit);
}

} // namespace kivo
