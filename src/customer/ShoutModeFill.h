#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

namespace kivo {

// The shout-mode fill: the working folder accumulates the day's newest
// photos of every code, unframed, under their ShoutCopyName names, trimmed
// to prefMaxPhotosInLocalFolder (below 1 means 40). Copies whose source has
// gone, and files that are not ours, are removed. Runs on a worker; holds
// nothing but its arguments.
class ShoutModeFill
{
public:
    // Fills workingFolder from the result list of a search in searchPath;
    // gives the number of slides prepared (0 when the folder is unusable).
    // A set stop flag ends the copying early. *settles gets the earliest
    // settle time of the photos left out because they had not settled.
    static int fill(const QString &workingFolder, const QString &searchPath,
                    const QStringList &response, const std::atomic<bool> &stop,
                    qint64 *settles = nullptr);

private:
    // Copies the entries that are neither known nor already copied; gives
    // the entries added. Failed copies are logged in one line.
    static QStringList copyNew(const QString &workingFolder, const QString &searchPath,
                               const QStringList &response, const QStringList &existing,
                               const QStringList &known, const std::atomic<bool> &stop,
                               qint64 *settles);
    // Keeps the newest max of names whose source still exists (or cannot be
    // read just now), removes the other slides; gives the number kept before
    // trimming, at most max.
    static int trim(const QString &workingFolder, const QString &searchPath,
                    const QStringList &existing, const QStringList &names);
};

} // namespace kivo
