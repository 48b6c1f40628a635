#include "Log.h"

#include "JournalSink.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace kivo {

namespace {
QMutex &logMutex()
{
    static QMutex m;
    return m;
}

// Where a failing log file is reported (guarded by logMutex): the stream the
// log wrote to before it was redirected, and the lines lost meanwhile.
int gNoticeFd = -1;
qint64 gLostLines = 0;
int gLostErrno = 0;
bool gCutLine = false; // a line was written in part

QByteArray stamp()
{
    // localtime_r reads the time zone once per process; QDateTime's local time
    // looks at the zone file again on every call, which shows on busy log paths.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld kivo-slideshow[%ld] ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, long(now.tv_nsec / 1000000), long(::getpid()));
    return QByteArray(text);
}

bool put(const QByteArray &line)
{
    errno = 0;
    const size_t written = std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    int error = errno;
    const bool flushed = std::fflush(stderr) == 0;
    if (error == 0)
        error = errno;
    if (written == size_t(line.size()) && flushed && !std::ferror(stderr))
        return true;
    std::clearerr(stderr);
    gLostErrno = error != 0 ? error : EIO;
    gCutLine = gCutLine || written > 0;
    return false;
}

void notice(const QByteArray &text)
{
    if (gNoticeFd < 0)
        return;
    const QByteArray line = stamp() + text + '\n';
    [[maybe_unused]] const ssize_t written = ::write(gNoticeFd, line.constData(), line.size());
}

// A log file that cannot be written (a full disk) costs one failed write per
// line: said once on the earlier stream, and counted in the log once it can
// be written again.
void writeLine(const QString &text)
{
    const QByteArray line = stamp() + text.toUtf8() + '\n';
    QMutexLocker lock(&logMutex());
    if (gLostLines > 0) {
        const QByteArray reason = std::strerror(gLostErrno);
        if (!put((gCutLine ? "\n" : "") + stamp() + "Log: " + QByteArray::number(gLostLines) +
                 " lines could not be written to the log file (" + reason + ")\n")) {
            ++gLostLines;
            return;
        }
        notice("Log: the log file is written again");
        gLostLines = 0;
        gCutLine = false;
    }
    if (!put(line) && gLostLines++ == 0)
        notice("Log: cannot write the log file: " + QByteArray(std::strerror(gLostErrno)) +
               "; its lines are lost until it can be written again");
}

// A warning or error: to the journal under the service manager, and to the
// log unless that is the journal already.
void attention(int priority, const char *category, const QString &text,
               const LogSubject &subject = {})
{
    if (!JournalSink::isEnabled() || !JournalSink::stderrIsJournal())
        writeLine(text);
    JournalSink::send(priority, category, text, subject.display, subject.code);
}

void qtHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        attention(type == QtWarningMsg ? JournalSink::kWarning : JournalSink::kError,
                  context.category, msg);
    else
        writeLine(msg);
}
} // namespace

void logLine(const QLoggingCategory &category, const QString &text)
{
    if (category.isInfoEnabled())
        writeLine(text);
}

void logVerbose(const QLoggingCategory &category, const QString &text)
{
    if (category.isDebugEnabled())
        writeLine(text);
}

QString logSafe(QStringView text, qsizetype max)
{
    qsizetype keep = std::min(text.size(), std::max<qsizetype>(max, 0));
    if (keep > 0 && keep < text.size() && text[keep - 1].isHighSurrogate())
        --keep; // never half a character
    QString out;
    out.reserve(keep + 16);
    for (const QChar c : text.first(keep)) {
        const auto category = c.category();
        if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (category == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else if (category == QChar::Other_Format || category == QChar::Separator_Line ||
                 category == QChar::Separator_Paragraph)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    if (keep < text.size())
        out += QStringLiteral("\u2026(+%1 chars)").arg(text.size() - keep);
    return out;
}

void logWarning(const QLoggingCategory &category, const QString &text, const LogSubject &subject)
{
    attention(JournalSink::kWarning, category.categoryName(), text, subject);
}

void logError(const QLoggingCategory &category, const QString &text, const LogSubject &subject)
{
    attention(JournalSink::kError, category.categoryName(), text, subject);
}

QString traceInside(QStringView object, QStringView operation, QStringView dots)
{
    return QStringLiteral("Inside %1 => %2%3").arg(object, operation, dots);
}

QString traceArrow(QStringView object, QStringView operation)
{
    return QStringLiteral("%1->%2...").arg(object, operation);
}

void setLogFailureStream(int fd)
{
    QMutexLocker lock(&logMutex());
    gNoticeFd = fd;
}

void installQtMessageHandler()
{
    qInstallMessageHandler(qtHandler);
}

} // namespace kivo
