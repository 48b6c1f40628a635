#include "CodeListDump.h"

#include "CodeFolderScanner.h"
#include "CodeListModel.h"
#include "platform/AppPaths.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace kivo {

namespace {
QVariant jsonReady(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        return date.toOffsetFromUtc(date.offsetFromUtc()).toString(Qt::ISODate);
    }
    case QMetaType::QVariantMap: {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            *it = jsonReady(*it);
        return map;
    }
    case QMetaType::QVariantList: {
        QVariantList list = value.toList();
        for (QVariant &item : list)
            item = jsonReady(item);
        return list;
    }
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toBase64());
    default:
        return value;
    }
}
} // namespace

QList<CodeEntry> countedCodeRows(const QString &dayFolder)
{
    QList<CodeEntry> entries =
        CodeFolderScanner::readCodeRows(dayFolder, QDateTime::currentDateTime());
    for (CodeEntry &entry : entries)
        entry.row.insert(QLatin1String(rowKey::qty),
                         QString::number(CodeFolderScanner::countPhotos(entry.folderPath)));
    CodeListModel::sortEntries(
        entries, Preferences::standard().integer(QLatin1String(keys::prefSortListTag)));
    return entries;
}

QByteArray codeRowJson(const CodeEntry &entry)
{
    return QJsonDocument(QJsonObject::fromVariantMap(jsonReady(entry.row).toMap()))
        .toJson(QJsonDocument::Compact);
}

int listCodes(const QString &dayFolder)
{
    // The factory values (sort order, day-folder format) count as at start-up;
    // nothing is written to the user's preferences.
    const QString factoryFile = AppPaths::resource(QStringLiteral("FactoryDefault.plist"));
    const QVariant factory = factoryFile.isEmpty() ? QVariant() : readPropertyList(factoryFile);
    if (factory.typeId() == QMetaType::QVariantMap)
        Preferences::standard().registerDefaults(factory.toMap());
    QString folder = dayFolder;
    if (folder.isEmpty()) {
        folder = todaysDayFolderPath();
        if (folder.isEmpty())
            return 0; // no main images folder: nothing listed
    }
    for (const CodeEntry &entry : countedCodeRows(folder)) {
        const QByteArray line = codeRowJson(entry) + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    std::fflush(stdout);
    return 0;
}

} // namespace kivo
