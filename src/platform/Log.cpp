#include "Log.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace kivo {

namespace {
QMutex &logMutex()
{
    static QMutex m;
    return m;
}

void writeLine(const QString &text)
{
    // localtime_r reads the time zone once per process; QDateTime's local time
    // looks at the zone file again on every call, which shows on busy log paths.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[128];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03ld kivo-slideshow[%ld] ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, long(now.tv_nsec / 1000000), long(::getpid()));
    const QByteArray line = QByteArray(stamp) + text.toUtf8() + '\n';
    QMutexLocker lock(&logMutex());
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void qtHandler(QtMsgType, const QMessageLogContext &, const QString &msg)
{
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

QString traceInside(QStringView object, QStringView operation, QStringView dots)
{
    return QStringLiteral("Inside %1 => %2%3").arg(object, operation, dots);
}

QString traceArrow(QStringView object, QStringView operation)
{
    return QStringLiteral("%1->%2...").arg(object, operation);
}

void installQtMessageHandler()
{
    qInstallMessageHandler(qtHandler);
}

} // namespace kivo
