#include "ProgramRunner.h"

#include "FileHelpers.h"
#include "UtilLog.h"
#include "platform/AlertSound.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

namespace kivo {

namespace {

struct Outcome
{
    bool started = false;
    bool succeeded = false; // exited normally with status 0
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
        text += QStringLiteral("    ") + args[i] + (i + 1 < args.size() ? ",\n" : "\n");
    return text + QLatin1Char(')');
}

void prepare(QProcess &process)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
}

Outcome runToEnd(const QString &who, const QString &path, const QStringList &args)
{
    Outcome outcome;
    QProcess process;
    prepare(process);
    process.start(path, args, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        logLine(lcUtil(), QStringLiteral("%1 FAILED => unable to start [%2]: %3")
                              .arg(who, path, process.errorString()));
        return outcome;
    }
    outcome.started = true;
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(-1);
        outcome.output += process.readAllStandardOutput();
    }
    outcome.output += process.readAllStandardOutput();
    outcome.succeeded = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return outcome;
}

// The shared body of runThisShellScript and runShellScript2.
std::optional<QString> runAndCapture(const QString &who, bool failedYieldsMarker,
                                     const QString &path, const std::optional<QStringList> &args)
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

    const Outcome outcome = runToEnd(who, path, args.value_or(QStringList()));
    if (!outcome.started)
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
    logLine(lcUtil(), QStringLiteral("%1 got back:\n%2\n").arg(who, *text));
    return text;
}

} // namespace

std::optional<QString> runThisShellScript(const QString &path,
                                          const std::optional<QStringList> &args)
{
    return runAndCapture(QStringLiteral("runThisShellScript"), true, path, args);
}

std::optional<QString> runShellScript2(const QString &path, const std::optional<QStringList> &args)
{
    return runAndCapture(QStringLiteral("runShellScript2"), false, path, args);
}

bool runShellScript(const QString &name, const std::optional<QStringList> &args)
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
    runThisShellScript(path, args);
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

std::optional<QString> runShellCommand(const QString &commandLine)
{
    QProcess process;
    prepare(process);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine},
                  QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        logLine(lcUtil(), QStringLiteral("runShellCommand => unable to start [%1]: %2")
                              .arg(commandLine, process.errorString()));
        return std::nullopt;
    }
    QByteArray output;
    while (output.size() < kShellCommandOutputLimit) {
        if (process.bytesAvailable() == 0 && !process.waitForReadyRead(-1))
            break;
        output += process.read(kShellCommandOutputLimit - output.size());
    }
    if (output.size() < kShellCommandOutputLimit)
        output += process.read(kShellCommandOutputLimit - output.size());
    if (process.state() != QProcess::NotRunning) {
        // Past the limit: end the command rather than drain it forever.
        process.terminate();
        if (!process.waitForFinished(1000)) {
            process.kill();
            process.waitForFinished(-1);
        }
    }
    if (output.isEmpty())
        return std::nullopt;
    return decodeUtf8(output, output.size() == kShellCommandOutputLimit);
}

} // namespace kivo
