#include "Log.h"

#include <QDateTime>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <unistd.h>

namespace kivo {

namespace {
QMutex &logMutex()
{
    static QMutex m;
    return m;
}

void qtHandler(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    logLine(msg);
}
} // namespace

void logLine(const QString &text)
{
    const QByteArray line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8() +
        " kivo-slideshow[" + QByteArray::number(qint64(::getpid())) + "] " + text.toUtf8() + '\n';
    QMutexLocker lock(&logMutex());
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void installQtMessageHandler()
{
    qInstallMessageHandler(qtHandler);
}

} // namespace kivo
