#pragma once

#include <QLoggingCategory>
#include <QString>

namespace kivo {

// Writes one log line of category to the standard error stream, which the
// log file set-up may redirect to the day's log file. Safe from any thread.
// Every source folder has its category ("kivo.<folder>"). logLine writes
// while the category is enabled for information, logVerbose (long or
// frequent lines) while it is enabled for debugging, so QT_LOGGING_RULES
// such as "kivo.slideshow.debug=false" silence a folder's verbose lines.
void logLine(const QLoggingCategory &category, const QString &text);
void logVerbose(const QLoggingCategory &category, const QString &text);

// Untrusted text (from the bus, the keyboard, the photo store) made fit for
// one log line: at most `max` characters of it, the rest counted as
// "…(+N chars)"; line ends, other control characters and invisible format
// characters (bidi overrides, zero-width spaces) escaped as \n, \xHH, \uHHHH,
// so the text can neither forge a line nor hide its own content.
QString logSafe(QStringView text, qsizetype max = 80);

// What a warning or error is about, for the journal.
struct LogSubject
{
    int display = -1; // display index; negative: none
    QString code;     // customer code; empty: none
};

// A line that calls for attention: written like logLine (whatever the
// category's rules) and, under the service manager, sent to the journal with
// its priority, its category and the subject (JournalSink); written once
// when the log is the journal itself. Qt's warnings go the same way.
void logWarning(const QLoggingCategory &category, const QString &text,
                const LogSubject &subject = {});
void logError(const QLoggingCategory &category, const QString &text,
              const LogSubject &subject = {});

// Trace line openings: "Inside object => operation..." (some lines put a
// space before the dots) and "object->operation...".
QString traceInside(QStringView object, QStringView operation, QStringView dots = u"...");
QString traceArrow(QStringView object, QStringView operation);

// Where a log that cannot be written is reported: a descriptor of the
// stream the log wrote to before the standard error stream was redirected.
void setLogFailureStream(int fd);

// Routes qDebug/qWarning/qCritical through the log so every line has one form.
void installQtMessageHandler();

} // namespace kivo
