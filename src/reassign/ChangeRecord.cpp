#include "ChangeRecord.h"

#include "KivoXmlWriter.h"
#include "ReassignLog.h"
#include "platform/FileOps.h"
#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kivo {

namespace {
// Enough for any burst of reassignments within one second.
constexpr int kMaxSequence = 1000;

// Flushes a file or a folder to disk; false with errno's text on failure.
bool syncPath(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return rc == 0;
}

bool isFree(const QString &path)
{
    return !QFileInfo::exists(path) && !QFileInfo(path).isSymLink() &&
           !QFileInfo::exists(path + QLatin1String(".tmp"));
}

// The code (folder name) and the day (its parent folder's name) of a code folder.
OrderedDictionary codeElement(const QString &codeFolder)
{
    const QFileInfo info(QDir::cleanPath(codeFolder));
    return OrderedDictionary{{QStringLiteral("@date"), QFileInfo(info.path()).fileName()},
                             {QStringLiteral("value"), info.fileName()}};
}
} // namespace

QString ChangeRecord::codeChangesFolder()
{
    return QDir::home().filePath(QStringLiteral(".Corvel/CodeChanges"));
}

QString ChangeRecord::createCodeChangesPath()
{
    const QString folder = codeChangesFolder();
    const QFileInfo info(folder);
    if (info.isDir())
        return folder;
    if (info.exists() || info.isSymLink() || !QDir().mkpath(folder)) {
        logLine(lcReassign(),
                QStringLiteral("ReAssignCodeWindowController->createCodeChangesPath... unable to "
                               "create [%1]")
                    .arg(folder));
        return QString();
    }
    return folder;
}

QString ChangeRecord::recordFileName(const QDateTime &time, int sequence)
{
    // Calendar year: the week-based year would name a record of 29 December
    // 2025 as 2026..., out of order with every other record of that year.
    const QString stamp = time.toString(QLatin1String(kTimePattern));
    if (sequence <= 1)
        return stamp + QLatin1String(kNameSuffix);
    return stamp + QLatin1Char('_') + QString::number(sequence) + QLatin1String(kNameSuffix);
}

QString ChangeRecord::getReassignmentXmlPath(const QDateTime &time)
{
    const QString folder = createCodeChangesPath();
    if (folder.isEmpty())
        return QString();
    const QDir dir(folder);
    for (int sequence = 1; sequence <= kMaxSequence; ++sequence) {
        const QString path = dir.filePath(recordFileName(time, sequence));
        if (isFree(path))
            return path;
    }
    logLine(lcReassign(),
            QStringLiteral("ReAssignCodeWindowController->getReassignmentXmlPath... no free name "
                           "for [%1]")
                .arg(dir.filePath(recordFileName(time))));
    return QString();
}

OrderedDictionary ChangeRecord::content(const QString &oldCodeFolder, const QString &newCodeFolder,
                                        const QStringList &fileNames)
{
    return OrderedDictionary{
        {QStringLiteral("@type"), QStringLiteral("changecode")},
        {QStringLiteral("oldcode"), QVariant::fromValue(codeElement(oldCodeFolder))},
        {QStringLiteral("newcode"), QVariant::fromValue(codeElement(newCodeFolder))},
        {QStringLiteral("files"), fileNames},
    };
}

ChangeRecord::ChangeRecord(QString oldCodeFolder, QString newCodeFolder, QDateTime time)
    : m_oldCodeFolder(std::move(oldCodeFolder)), m_newCodeFolder(std::move(newCodeFolder)),
      m_time(std::move(time))
{}

bool ChangeRecord::fail(const QString &error)
{
    m_error = error.isEmpty() ? QStringLiteral("unknown error") : error;
    return false;
}

bool ChangeRecord::prepare(const QStringList &fileNames)
{
    m_error.clear();
    m_path = getReassignmentXmlPath(m_time);
    if (m_path.isEmpty()) {
        m_error = QStringLiteral("there is no folder and none can be made");
        return false;
    }
    if (!writeTemporary(fileNames)) {
        QFile::remove(temporaryPath());
        logLine(lcReassign(),
                QStringLiteral("ReAssignCodeWindowController->doMoveImages... cannot write the "
                               "change record [%1]: %2")
                    .arg(temporaryPath(), m_error));
        return false;
    }
    m_prepared = fileNames;
    return true;
}

bool ChangeRecord::writeTemporary(const QStringList &fileNames)
{
    KivoXmlWriter writer;
    writer.setMLookupArrayName({{QStringLiteral("files"), QStringLiteral("filename")}});
    writer.doStartConversion2(
        {{QStringLiteral("mainXmlKeyName"), QStringLiteral("data")},
         {QStringLiteral("writeXmlPath"), temporaryPath()},
         {QStringLiteral("dictionary"),
          QVariant::fromValue(content(m_oldCodeFolder, m_newCodeFolder, fileNames))}});
    QString error = writer.errorString();
    if (error.isEmpty() && QFileInfo(temporaryPath()).size() != writer.mString().toUtf8().size())
        error = QStringLiteral("the record was not written");
    if (error.isEmpty() && syncPath(temporaryPath(), &error))
        return true;
    return fail(error);
}

bool ChangeRecord::commit(const QStringList &fileNames)
{
    m_error.clear();
    if (m_path.isEmpty())
        return fail(QStringLiteral("the record was not prepared"));
    const QString temporary = temporaryPath();
    if (fileNames == m_prepared || writeTemporary(fileNames)) {
        m_prepared = fileNames;
        // Another record may have taken the name since it was chosen: take the next.
        QString error;
        for (int sequence = 2; sequence <= kMaxSequence + 1; ++sequence) {
            if (FileOps::moveNoReplace(temporary, m_path, &error)) {
                QString folderError;
                syncPath(QFileInfo(m_path).path(), &folderError);
                return true;
            }
            if (!QFileInfo::exists(m_path))
                break;
            m_path = QDir(QFileInfo(m_path).path()).filePath(recordFileName(m_time, sequence));
        }
        fail(error);
    }
    // A written ".tmp" stays: it names photos that did move.
    m_path = temporary.chopped(4);
    logLine(
        lcReassign(),
        QStringLiteral("ERROR in renaming/moving final xml path = %1 (%2)").arg(m_path, m_error));
    return false;
}

void ChangeRecord::discard()
{
    if (!m_path.isEmpty())
        QFile::remove(temporaryPath());
}

QString ChangeRecord::write(const QString &oldCodeFolder, const QString &newCodeFolder,
                            const QStringList &fileNames, const QDateTime &time)
{
    ChangeRecord record(oldCodeFolder, newCodeFolder, time);
    if (record.prepare(fileNames) && record.commit(fileNames))
        return record.path();
    return QString();
}

} // namespace kivo
