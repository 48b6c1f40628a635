#pragma once

#include <QString>

namespace kivo {

// Warnings and errors for the systemd journal, with their priority and the
// fields KIVO_CATEGORY, KIVO_DISPLAY (a display index) and KIVO_CODE, so
// `journalctl --user -u kivo-slideshow -p warning KIVO_CODE=0412` finds them.
// Only under the service manager (INVOCATION_ID or JOURNAL_STREAM set); the
// day's log file gets every line as before. Safe from any thread.
class JournalSink
{
public:
    // syslog(3) priorities.
    static constexpr int kError = 3;
    static constexpr int kWarning = 4;

    static bool underServiceManager();
    // Entries are sent from now on when underServiceManager(); at start-up.
    static void enableIfUnderServiceManager();
    static bool isEnabled();
    // The standard error stream goes to the journal already (JOURNAL_STREAM
    // names it): a line written there need not be sent again.
    static bool stderrIsJournal();

    // display < 0 and an empty code leave their fields out.
    static void send(int priority, const char *category, const QString &text, int display = -1,
                     const QString &code = QString());
};

} // namespace kivo
