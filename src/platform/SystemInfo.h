#pragma once

#include <QString>

namespace kivo {

// Names of the machine and the operating system for the log header.
class SystemInfo
{
public:
    // The DMI product name (trimmed; "Unknown" when unreadable) followed by the
    // kernel's machine name in parentheses, e.g. "OptiPlex 7010 (x86_64)".
    static QString hostModelAndArch();
    // PRETTY_NAME (else VERSION_ID) of /etc/os-release; empty when unreadable.
    static QString osVersion();

    // The same, reading the given files (tests).
    static QString hostModelAndArch(const QString &productNamePath);
    static QString osVersion(const QString &osReleasePath);
};

} // namespace kivo
