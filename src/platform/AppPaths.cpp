#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace kivo {

namespace {
std::mutex gMutex;
// Never destroyed: workers may still ask for it while the process exits.
QString &gPrefix = *new QString;

QString detectPrefix()
{
    if (QCoreApplication::instance()) {
        const QString candidate = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/..");
        if (QFileInfo(candidate + "/" KIVO_SHARE_SUBDIR).isDir())
            return candidate;
    }
    return QStringLiteral(KIVO_BUILD_PREFIX);
}
} // namespace

QString AppPaths::prefix()
{
    std::lock_guard lock(gMutex);
    if (gPrefix.isEmpty())
        gPrefix = detectPrefix();
    return gPrefix;
}

void AppPaths::setPrefix(const QString &prefix)
{
    std::lock_guard lock(gMutex);
    gPrefix = prefix;
}

QString AppPaths::libexecDir()
{
    return prefix() + QStringLiteral("/" KIVO_LIBEXEC_SUBDIR);
}

QString AppPaths::resourcesDir()
{
    return prefix() + QStringLiteral("/" KIVO_SHARE_SUBDIR);
}

QString AppPaths::xdgBaseDir(const char *variable, const QString &homeFallback)
{
    const QString dir = qEnvironmentVariable(variable);
    if (!dir.isEmpty() && QDir::isAbsolutePath(dir))
        return QDir::cleanPath(dir);
    return QDir::cleanPath(QDir::homePath() + QLatin1Char('/') + homeFallback);
}

QString AppPaths::auxiliaryExecutable(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    const QString path = libexecDir() + QLatin1Char('/') + name;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable() ? path : QString();
}

QString AppPaths::resource(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    const QString path = resourcesDir() + QLatin1Char('/') + name;
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace kivo
