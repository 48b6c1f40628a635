#include "SingleInstance.h"

#include "Log.h"
#include "PlatformLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kivo {

namespace {

const QByteArray kActivate = QByteArrayLiteral("activate\n");
constexpr int kStartBudgetMs = 600; // a second copy must be able to quit within a second
constexpr int kClientTimeoutMs = 2000;

QString runtimeDirectory()
{
    // XDG_RUNTIME_DIR, or a private 0700 folder that Qt creates in the temporary folder.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/kivo-runtime-%1").arg(::getuid());
    return dir;
}

// Creates the folder 0700 when missing; true when it is a real folder of this
// user that nobody else can enter. In a shared temporary folder another user
// could have made it first and put a socket there that answers every start.
bool makePrivateFolder(const QString &dir)
{
    const QByteArray path = QFile::encodeName(dir);
    if (!QDir().mkpath(QFileInfo(dir).path()) ||
        (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)) {
        logLine(lcPlatform(), QStringLiteral("SingleInstance->start...Cannot create %1").arg(dir));
        return false;
    }
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        logLine(lcPlatform(),
                QStringLiteral("SingleInstance->start...%1 is not a private folder of user %2 "
                               "(owner %3, mode %4); running without the single-copy guard")
                    .arg(dir)
                    .arg(::getuid())
                    .arg(st.st_uid)
                    .arg(st.st_mode & 07777, 4, 8, QChar(u'0')));
        return false;
    }
    return true;
}

} // namespace

SingleInstance::SingleInstance(const QString &name, const QString &directory, QObject *parent)
    : QObject(parent), m_name(name),
      m_directory(directory.isEmpty() ? runtimeDirectory() : directory)
{}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file while the lock is still held
}

QString SingleInstance::lockFilePath() const
{
    return m_directory + u'/' + m_name + QStringLiteral(".lock");
}

QString SingleInstance::socketPath() const
{
    return m_directory + u'/' + m_name + QStringLiteral(".socket");
}

SingleInstance::Role SingleInstance::start()
{
    if (m_role != Role::Unavailable)
        return m_role;
    if (!makePrivateFolder(m_directory))
        return m_role;
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // A running copy's lock never goes stale by age; one whose process is gone
    // (or whose id now belongs to another program) is stale and removed.
    m_lock->setStaleLockTime(0);

    const QDeadlineTimer deadline(kStartBudgetMs);
    while (true) {
        if (m_lock->tryLock(0)) {
            listen();
            return m_role = Role::First;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            logLine(lcPlatform(),
                    QStringLiteral("SingleInstance->start...Cannot take the lock %1 (error %2)")
                        .arg(lockFilePath())
                        .arg(int(m_lock->error())));
            return m_role;
        }
        qint64 pid = 0;
        QString host, app;
        if (m_lock->getLockInfo(&pid, &host, &app)) {
            m_otherPid = pid;
            if (requestActivation(deadline))
                return m_role = Role::Second;
            // Nobody answers: a copy that is still starting, or a lock whose
            // process id now belongs to another program. Only the latter's
            // lock can be removed (a live copy keeps the file locked).
            if (!m_lock->removeStaleLockFile())
                return m_role = Role::Second;
            m_otherPid = 0;
            continue;
        }
        // An unreadable lock: a copy died while writing it, or one is writing it
        // right now. The removal fails while a live copy holds the file.
        if (!m_lock->removeStaleLockFile() && deadline.hasExpired()) {
            logLine(lcPlatform(), QStringLiteral("SingleInstance->start...Cannot read the lock %1")
                                      .arg(lockFilePath()));
            return m_role = Role::Second;
        }
        QThread::msleep(20);
    }
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket file left here belongs to a copy that died.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        logLine(lcPlatform(), QStringLiteral("SingleInstance->listen...Cannot listen on %1: %2")
                                  .arg(socketPath(), m_server->errorString()));
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setReadBufferSize(64);
        const auto readRequest = [this, socket] {
            if (!socket->canReadLine() && socket->bytesAvailable() < kActivate.size())
                return;
            const QByteArray request = socket->read(kActivate.size());
            socket->abort();
            socket->deleteLater();
            if (request == kActivate)
                emit activationRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        connect(socket, &QLocalSocket::disconnected, this, [socket, readRequest] {
            readRequest();
            socket->deleteLater();
        });
        // A peer that connects and says nothing is dropped.
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        readRequest(); // data may already be there
    }
}

bool SingleInstance::requestActivation(const QDeadlineTimer &deadline)
{
    // The first copy may hold the lock and not listen yet: retry until the deadline.
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(qMax<qint64>(deadline.remainingTime(), 1)))) {
            socket.write(kActivate);
            const bool written = socket.waitForBytesWritten(200);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(100);
            return written;
        }
        if (deadline.hasExpired()) {
            logLine(lcPlatform(),
                    QStringLiteral("SingleInstance->requestActivation...No answer on %1: %2")
                        .arg(socketPath(), socket.errorString()));
            return false;
        }
        QThread::msleep(20);
    }
}

} // namespace kivo

#include "moc_SingleInstance.cpp"
