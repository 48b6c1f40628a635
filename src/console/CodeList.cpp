#include "CodeList.h"

#include "ConsoleDelegate.h"
#include "ConsoleLog.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "station/DailyFolders.h"
#include "station/PrefKeys.h"

namespace kivo {

CodeList::CodeList(ConsoleDelegate *delegate, QObject *parent)
    : QObject(parent), m_delegate(delegate), m_model(new CodeListModel(this))
{
    m_model->setSortTag(Preferences::standard().integer(QLatin1String(keys::prefSortListTag)));
    connect(&m_scanner, &CodeFolderScanner::rowsReady, this, &CodeList::rowsListed);
    connect(&m_scanner, &CodeFolderScanner::countsReady, m_model, &CodeListModel::applyCounts);
    connect(&m_scanner, &CodeFolderScanner::finished, this, &CodeList::scanFinished);
}

void CodeList::scanFolderAgain()
{
    if (m_insideScanning) {
        logLine(lcConsole(),
                QStringLiteral("Inside MainWindowController => scanFolderAgain...ANOTHER scan "
                               "already in process..."));
        // Scans run off the main thread, so a day changed meanwhile is listed
        // once the running scan is in.
        m_rescanRequested = true;
        return;
    }
    scanFolderAgain2();
}

void CodeList::scanFolderAgain2()
{
    QString why;
    const QString root = mainImagesFolder(&why);
    if (!why.isEmpty())
        emit mainFolderRefused(why);
    // Whether the folder is there is the scan's business: a stat here could
    // hold the main thread on a share that does not answer.
    if (root.isEmpty()) {
        logLine(lcConsole(),
                QStringLiteral("MainWindowController->scanFolderAgain2... no main images folder"));
        m_scanner.stop();
        rowsListed({});
        emit scanFinished();
        return;
    }
    m_insideScanning = true;
    m_scanner.start(consoleDayFolderPath());
}

void CodeList::rowsListed(QList<CodeEntry> entries)
{
    QStringList codes;
    for (CodeEntry &entry : entries) {
        const QVariant code = entry.row.value(QLatin1String(rowKey::code));
        if (!code.isValid())
            continue;
        codes << code.toString();
        if (m_delegate) {
            const QString status = m_delegate->getSlideshowWindowName(code.toString());
            if (!status.isEmpty())
                entry.row.insert(QLatin1String(rowKey::codeStatus), status);
        }
    }
    logLine(lcConsole(), QStringLiteral("MainWindowController->scanFolderAgain2... %1 rows: %2")
                             .arg(entries.size())
                             .arg(codes.join(QLatin1Char(','))));
    emit aboutToList();
    m_model->setEntries(std::move(entries));
    m_insideScanning = false;
    emit scanListed();
    if (std::exchange(m_rescanRequested, false))
        scanFolderAgain();
}

void CodeList::clear()
{
    m_scanner.stop();
    m_insideScanning = false;
    m_rescanRequested = false;
    m_model->clear();
}

} // namespace kivo
