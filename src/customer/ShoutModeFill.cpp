#include "ShoutModeFill.h"

#include "CustomerLog.h"
#include "FoundPhoto.h"
#include "WorkingFolder.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "station/ShoutCopyName.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace kivo {

namespace {

// The source's creation date: its birth time where the file system records
// one, else its modification time. Null when the source has gone; when the
// store fails to answer, the copy's modification time, so the copy stays.
QDateTime creationDate(const QString &source, const QString &copy)
{
    struct stat st = {};
    const int error = FoundPhoto::status(source, &st);
    if (error == ENOENT || error == ENOTDIR)
        return {};
    const QFileInfo info(error == 0 ? source : copy);
    const QDateTime birth = error == 0 ? info.birthTime() : QDateTime();
    return birth.isValid() ? birth : info.lastModified();
}

} // namespace

int ShoutModeFill::fill(const QString &workingFolder, const QString &searchPath,
                        const QStringList &response, const std::atomic<bool> &stop, qint64 *settles)
{
    if (!WorkingFolder::prepare(workingFolder))
        return 0;
    WorkingFolder::removeContent(workingFolder, true);
    const QStringList existing = WorkingFolder::slidesIn(workingFolder);
    QStringList known; // the last listed slide first
    for (auto it = existing.crbegin(); it != existing.crend(); ++it)
        known.append(ShoutCopyName::entryOf(*it));
    const QStringList added =
        copyNew(workingFolder, searchPath, response, existing, known, stop, settles);
    return trim(workingFolder, searchPath, existing, known + added);
}

QStringList ShoutModeFill::copyNew(const QString &workingFolder, const QString &searchPath,
                                   const QStringList &response, const QStringList &existing,
                                   const QStringList &known, const std::atomic<bool> &stop,
                                   qint64 *settles)
{
    const QDir folder(workingFolder);
    QStringList added;
    QString firstError;
    int failed = 0;
    for (const QString &raw : response) {
        const QString entry = raw.startsWith(QLatin1String("./")) ? raw.mid(2) : raw;
        if (stop || known.contains(entry) || added.contains(entry))
            continue;
        const QString copyName = ShoutCopyName::forEntry(entry);
        const QString source = FoundPhoto::locate(searchPath, entry);
        if (copyName.isEmpty() || source.isEmpty() || existing.contains(copyName))
            continue;
        if (!FoundPhoto::isReady(source, settles))
            continue;
        QString error;
        if (WorkingFolder::copyIntoPlace(source, folder.filePath(copyName), &error))
            added.append(entry);
        else if (failed++ == 0)
            firstError = QStringLiteral("[%1] %2").arg(source, error);
    }
    if (failed > 0)
        logLine(lcCustomer(),
                traceInside(u"CustomerSlideshowFolder", u"handleFoundImages", u" ...") +
                    QStringLiteral("copyItemAtPath error = %1 (%2 of the photos not copied)")
                        .arg(firstError)
                        .arg(failed));
    return added;
}

int ShoutModeFill::trim(const QString &workingFolder, const QString &searchPath,
                        const QStringList &existing, const QStringList &names)
{
    struct Dated
    {
        QString name;
        QDateTime created;
    };
    const QDir folder(workingFolder);
    std::vector<Dated> kept;
    for (const QString &name : names) {
        if (name.isEmpty())
            continue; // not one of ours: removed below
        const QString source = FoundPhoto::locate(searchPath, name);
        const QDateTime created =
            source.isEmpty() ? QDateTime()
                             : creationDate(source, folder.filePath(ShoutCopyName::forEntry(name)));
        if (created.isValid())
            kept.push_back({name, created});
        else
            logLine(lcCustomer(),
                    QStringLiteral("Unable to get properties for item[%1] with error = %2")
                        .arg(name, QStringLiteral("no such file")));
    }
    QStringList doomed;
    // Copies whose source has gone, and copies that are not ours.
    for (const QString &slide : existing) {
        const QString name = ShoutCopyName::entryOf(slide);
        if (std::none_of(kept.begin(), kept.end(), [&](const Dated &d) { return d.name == name; }))
            doomed.append(folder.filePath(slide));
    }
    std::sort(kept.begin(), kept.end(), [](const Dated &a, const Dated &b) {
        return a.created != b.created ? a.created > b.created : a.name > b.name;
    });
    qint64 max =
        Preferences::standard().integer(QString::fromLatin1(keys::prefMaxPhotosInLocalFolder));
    if (max < 1)
        max = 40;
    for (size_t i = size_t(max); i < kept.size(); ++i)
        doomed.append(folder.filePath(ShoutCopyName::forEntry(kept[i].name)));
    WorkingFolder::deleteFilesInArray(doomed);
    return int(std::min<size_t>(kept.size(), size_t(max)));
}

} // namespace kivo
