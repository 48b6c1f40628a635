#pragma once

#include "CodeFolderScanner.h"
#include "CodeListModel.h"

#include <QObject>

namespace kivo {

class ConsoleDelegate;

// The console's list of the chosen day's codes: the rows a CodeFolderScanner
// finds in the day folder, each code that a display plays showing its room
// (from the delegate), photo counts filled in as they come. One scan at a
// time: a scan asked for while one is listing runs once more when the rows
// are in.
class CodeList : public QObject
{
    Q_OBJECT
public:
    explicit CodeList(ConsoleDelegate *delegate, QObject *parent = nullptr);

    CodeListModel *model() const { return m_model; }

    void scanFolderAgain();
    // Stops the scan and empties the list.
    void clear();
    // Rows or counts of a scan are still coming.
    bool isScanRunning() const { return m_insideScanning || m_scanner.isRunning(); }

signals:
    // A scan's rows are about to replace the list.
    void aboutToList();
    // A scan's rows are listed (counts may still be coming).
    void scanListed();
    // Every photo count of the last scan is shown.
    void scanFinished();
    // The main images folder setting cannot be used: why, for the operator.
    void mainFolderRefused(const QString &why);

private:
    void scanFolderAgain2();
    void rowsListed(QList<CodeEntry> entries);

    ConsoleDelegate *m_delegate;
    CodeListModel *m_model;
    CodeFolderScanner m_scanner;
    bool m_insideScanning = false;
    bool m_rescanRequested = false;
};

} // namespace kivo
