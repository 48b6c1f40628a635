#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace kivo {

// The station's log file and the removal of old log files.
//
// The log goes to one file per business day, <log folder>/<application
// name>_<business date>.log, in $XDG_STATE_HOME/Kivo/Logs (default
// ~/.local/state/Kivo/Logs). setupLogFile() redirects the standard error stream
// there once per process; every logLine(lcApp(), ) after that lands in the file.
class BRLogFileManager
{
public:
    static constexpr const char *defaultBaseName = "KivoLogFile";
    static constexpr const char *logExtension = "log";

    static QString logFolder();
    // The application's name without extension; "KivoLogFile" when none is set.
    static QString getApplicationName();
    static QString versionText();
    // DMI product name and machine, e.g. "OptiPlex 7010 (x86_64)".
    static QString hostModelAndArch();
    // The path of today's log file (business date: three hours before now).
    static QString logFilePath();

    // Redirects the standard error stream to logFilePath() (append mode) and
    // writes the header. Always true; when the folder cannot be created the log
    // stays where it was. Redirects at most once per process.
    static bool setupLogFile();
    static bool isRedirected();

    // Removes old log files. Options: "deleteSubDirectory" (bool, walk every
    // subfolder; default false), "deleteImmediately" (bool, delete instead of
    // moving to the trash; default false), "sourcePath" (folder, "~" expanded;
    // default the log folder), "baseName" (name prefix of candidates, any letter
    // case; default the application name), "beforeDate" (QDateTime; default now
    // minus three days). Symbolic links are neither followed nor removed,
    // folders are never removed, and neither is the log file in use.
    static void deleteOldLogsWithOptions(const QVariantMap &options);

    // Decides for one path: a regular file whose name begins with baseName (any
    // letter case) and that was last modified before beforeDate is deleted or
    // moved to the trash.
    static void deleteItem(const QString &path, const QDateTime &beforeDate,
                           const QString &baseName, bool deleteImmediately);
};

} // namespace kivo
