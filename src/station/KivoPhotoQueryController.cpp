#include "KivoPhotoQueryController.h"

#include "StationLog.h"
#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"
#include "util/ProgramRunner.h"

#include <QDir>
#include <QFileInfo>

namespace kivo {

namespace {
constexpr char kScriptName[] = "getnewestfiles.sh";
constexpr qint64 kDefaultMaxPhotos = 40;

// Entries come from the photo store: a search's lines name a few of them,
// each cut short, so a large or hostile folder cannot flood the log.
constexpr qsizetype kListedEntries = 10;
constexpr qsizetype kEntryChars = 300;
constexpr qsizetype kOutputChars = 2000;

QString describe(const QStringList &list)
{
    QStringList shown;
    for (const QString &entry : list.mid(0, kListedEntries))
        shown << logSafe(entry, kEntryChars);
    if (list.size() > kListedEntries)
        shown << QStringLiteral("\u2026(+%1 more)").arg(list.size() - kListedEntries);
    return QStringLiteral("(") + shown.join(QStringLiteral(", ")) + QStringLiteral(")");
}

QString describe(const QVariantMap &map)
{
    QStringList parts;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant &v = it.value();
        const QString text = v.canConvert<QStringList>() && v.typeId() != QMetaType::QString
                                 ? describe(v.toStringList())
                                 : logSafe(v.toString(), kEntryChars);
        parts.append(it.key() + QStringLiteral(" = ") + text);
    }
    return QStringLiteral("{") + parts.join(QStringLiteral("; ")) + QStringLiteral("}");
}
} // namespace

KivoPhotoQueryController::KivoPhotoQueryController(DoneSearchOperation delegate)
    : m_delegate(std::move(delegate))
{}

void KivoPhotoQueryController::begin(const char *operation, const QVariantMap &param)
{
    logLine(lcStation(), QStringLiteral("Inside KivoPhotoQueryController->[%1] with param1=[%2] ")
                             .arg(QLatin1String(operation), describe(param)));
    m_param = param;
    m_response.clear();
    m_failed = false;
}

void KivoPhotoQueryController::deliver()
{
    logLine(lcStation(), QStringLiteral("self.response: %1 ").arg(describe(m_response)));
    if (m_delegate && m_param)
        m_delegate(*m_param);
    m_param.reset();
}

QStringList KivoPhotoQueryController::listFolder(const QString &folder)
{
    QStringList result;
    if (folder.isEmpty()) {
        logLine(lcStation(),
                QStringLiteral("KivoPhotoQueryController -> unable to get folderUrl from [%1]")
                    .arg(folder));
        return result;
    }
    const QFileInfo info(folder);
    if (!info.isDir())
        return result;
    // One level only: subfolders and links to folders are entries, never
    // entered, so a link loop or a deep tree cannot hold the search up.
    // Hidden entries (a leading dot) are left out by the filter.
    QDir dir(folder);
    if (!dir.isReadable()) {
        logLine(lcStation(), QStringLiteral("KivoPhotoQueryController bumped into an error"));
        logLine(lcStation(),
                QStringLiteral("KivoPhotoQueryController -> [%1] is not readable").arg(folder));
        return result;
    }
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix().compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0)
            continue;
        result.append(entry.absoluteFilePath());
    }
    return result;
}

void KivoPhotoQueryController::startSearchActionWithParam(const QVariantMap &param)
{
    begin("startSearchActionWithParam", param);
    m_response = listFolder(param.value(QStringLiteral("searchPath")).toString());
    deliver();
}

void KivoPhotoQueryController::startSearchActionWithParamOldwayKivo2(const QVariantMap &param)
{
    begin("startSearchActionWithParamOldwayKivo2", param);
    const QString folder = param.value(QStringLiteral("searchPath")).toString();
    std::optional<QString> code;
    const QVariant id = param.value(QStringLiteral("customerid"));
    if (id.isValid() && !id.isNull())
        code = id.toString();
    const QStringList lines = findNewImagesFromShellScript(folder, code, &m_failed);
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            m_response.append(trimmed);
    }
    deliver();
}

QStringList KivoPhotoQueryController::scriptArguments(const QString &folder,
                                                      const std::optional<QString> &prefix)
{
    qint64 maxCount =
        Preferences::standard().integer(QLatin1String(keys::prefMaxPhotosInLocalFolder));
    if (maxCount < 1)
        maxCount = kDefaultMaxPhotos;
    QStringList args{folder, QString::number(maxCount)};
    if (prefix)
        args.append(*prefix);
    return args;
}

QStringList KivoPhotoQueryController::findNewImagesFromShellScript(
    const QString &folder, const std::optional<QString> &prefix, bool *failed)
{
    const QStringList args = scriptArguments(folder, prefix);
    const QString script = AppPaths::auxiliaryExecutable(QLatin1String(kScriptName));
    logLine(lcStation(), QStringLiteral("Will execute %1 with param = %2")
                             .arg(QLatin1String(kScriptName), describe(args)));
    const std::optional<QString> output = runShellScript2(script, args, kScriptTimeLimit);
    logLine(lcStation(),
            QStringLiteral("response is: %1")
                .arg(output ? logSafe(*output, kOutputChars) : QStringLiteral("(null)")));
    if (failed)
        *failed = !output;
    if (!output)
        return {};
    const QString trimmed = output->trimmed();
    if (trimmed.isEmpty())
        return {};
    const QStringList results = trimmed.split(QLatin1Char('\n'));
    logLine(lcStation(), QStringLiteral("results is: %1").arg(describe(results)));
    return results;
}

} // namespace kivo
