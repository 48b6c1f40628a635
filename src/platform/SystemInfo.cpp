#include "SystemInfo.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/utsname.h>

namespace kivo {

namespace {

constexpr qint64 kMaxFileSize = 64 * 1024;

QByteArray readSmallFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(kMaxFileSize);
}

// One value of an os-release file: KEY=value, KEY="value" or KEY='value',
// with backslash escapes inside double quotes.
QString osReleaseValue(const QByteArray &contents, const QByteArray &key)
{
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith(key + '='))
            continue;
        QString value = QString::fromUtf8(line.mid(key.size() + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front()) {
            const bool doubleQuoted = value.front() == u'"';
            value = value.mid(1, value.size() - 2);
            if (doubleQuoted)
                value.replace(QRegularExpression(QStringLiteral(R"(\\(.))")),
                              QStringLiteral("\\1"));
        }
        return value.trimmed();
    }
    return {};
}

} // namespace

QString SystemInfo::hostModelAndArch()
{
    return hostModelAndArch(QStringLiteral("/sys/class/dmi/id/product_name"));
}

QString SystemInfo::hostModelAndArch(const QString &productNamePath)
{
    QString model = QString::fromUtf8(readSmallFile(productNamePath)).trimmed();
    if (model.isEmpty())
        model = QStringLiteral("Unknown");
    struct utsname names = {};
    const QString machine =
        ::uname(&names) == 0 ? QString::fromUtf8(names.machine) : QStringLiteral("unknown");
    return model + QStringLiteral(" (%1)").arg(machine);
}

QString SystemInfo::osVersion()
{
    const QString version = osVersion(QStringLiteral("/etc/os-release"));
    // The standard's fallback location, for systems without the /etc copy.
    return version.isEmpty() ? osVersion(QStringLiteral("/usr/lib/os-release")) : version;
}

QString SystemInfo::osVersion(const QString &osReleasePath)
{
    const QByteArray contents = readSmallFile(osReleasePath);
    const QString pretty = osReleaseValue(contents, "PRETTY_NAME");
    return pretty.isEmpty() ? osReleaseValue(contents, "VERSION_ID") : pretty;
}

} // namespace kivo
