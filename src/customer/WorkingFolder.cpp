#include "WorkingFolder.h"

#include "CustomerLog.h"
#include "platform/FileOps.h"
#include "platform/Log.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kivo {

namespace fs = std::filesystem;

namespace {

bool isPending(const std::string &name)
{
    return name.starts_with(".kivo-") && name.ends_with(".part");
}

fs::path nativePath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

} // namespace

bool WorkingFolder::prepare(const QString &folder)
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(nativePath(folder), ec))) {
        logLine(
            lcCustomer(),
            QStringLiteral("createDirectoryAtPath[%1] has error = a symbolic link is in the way")
                .arg(folder));
        return false;
    }
    if (!createDirectoryIfMissing(folder)) {
        logLine(lcCustomer(),
                QStringLiteral("createDirectoryAtPath[%1] has error = not a folder").arg(folder));
        return false;
    }
    return true;
}

void WorkingFolder::removeContent(const QString &folder, bool pendingOnly)
{
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(nativePath(folder), ec)) {
        if (isPending(entry.path().filename().string()) != pendingOnly)
            continue;
        std::error_code rec;
        fs::remove_all(entry.path(), rec);
        if (rec)
            logLine(lcCustomer(), QStringLiteral("removeItemAtPath failed: %1")
                                      .arg(QString::fromStdString(rec.message())));
    }
}

QStringList WorkingFolder::slidesIn(const QString &folder)
{
    QStringList slides;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : entries) {
        if (info.suffix().compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0)
            slides.append(info.fileName());
    }
    return slides;
}

QString WorkingFolder::copyToPending(const QString &source, const QString &folder, QString *error)
{
    const QString pending = QDir(folder).filePath(
        QStringLiteral(".kivo-copy-%1.part")
            .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
    return FileOps::copyFileVerified(source, pending, error) ? pending : QString();
}

bool WorkingFolder::renameIntoPlace(const QString &from, const QString &to, QString *error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(from);
    return false;
}

bool WorkingFolder::copyIntoPlace(const QString &source, const QString &dest, QString *error)
{
    const QString pending = copyToPending(source, QFileInfo(dest).absolutePath(), error);
    return !pending.isEmpty() && renameIntoPlace(pending, dest, error);
}

void WorkingFolder::deleteFilesInArray(const QStringList &paths)
{
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.remove())
            logLine(lcCustomer(), QStringLiteral("%1 => error = %2").arg(path, file.errorString()));
    }
}

} // namespace kivo
