#include "JournalSink.h"

#include <QByteArray>
#include <QList>

#define SD_JOURNAL_SUPPRESS_LOCATION
#include <sys/stat.h>
#include <sys/uio.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <atomic>

namespace kivo {

namespace {
std::atomic<bool> gEnabled{false};
// A field longer than this is cut: the journal takes long entries, but a
// runaway text should not make one.
constexpr qsizetype kMaxFieldBytes = 4096;
} // namespace

bool JournalSink::underServiceManager()
{
    return !qEnvironmentVariableIsEmpty("INVOCATION_ID") ||
           !qEnvironmentVariableIsEmpty("JOURNAL_STREAM");
}

void JournalSink::enableIfUnderServiceManager()
{
    gEnabled = underServiceManager();
}

bool JournalSink::isEnabled()
{
    return gEnabled;
}

bool JournalSink::stderrIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    struct stat st
    {};
    if (stream.isEmpty() || ::fstat(STDERR_FILENO, &st) != 0)
        return false;
    return stream ==
           QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

void JournalSink::send(int priority, const char *category, const QString &text, int display,
                       const QString &code)
{
    if (!gEnabled)
        return;
    QList<QByteArray> fields{
        "MESSAGE=" + text.toUtf8().left(kMaxFieldBytes),
        "PRIORITY=" + QByteArray::number(priority),
        "SYSLOG_IDENTIFIER=kivo-slideshow",
        "KIVO_CATEGORY=" + QByteArray(category ? category : "kivo"),
    };
    if (display >= 0)
        fields.append("KIVO_DISPLAY=" + QByteArray::number(display));
    if (!code.isEmpty())
        fields.append("KIVO_CODE=" + code.toUtf8().left(256));
    iovec parts[6];
    for (qsizetype i = 0; i < fields.size(); ++i)
        parts[i] = {fields[i].data(), size_t(fields[i].size())};
    sd_journal_sendv(parts, int(fields.size()));
}

} // namespace kivo
