#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QDeadlineTimer;
class QLocalServer;
class QLockFile;

namespace kivo {

// Keeps the station to one copy per user session. The first copy holds a lock
// file in the user's runtime folder ($XDG_RUNTIME_DIR, else Qt's private
// fallback) and listens on a local socket beside it; a later copy finds the
// lock taken, asks the first copy to come to the front over that socket and
// is told so, to beep, log and quit. A lock left by a copy that died never
// blocks a start. A runtime folder that is not this user's private (0700)
// folder is not trusted: the copy logs it and runs without the guard.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Role
    {
        First,       // this copy holds the lock and listens for activation requests
        Second,      // another copy runs; it has been asked to come to the front
        Unavailable, // the lock could not be taken or tested (logged); run on
    };

    // `name` names the lock and the socket; `directory` overrides the runtime
    // folder (tests).
    explicit SingleInstance(const QString &name = QStringLiteral("kivo-slideshow"),
                            const QString &directory = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, or finds the copy holding it and sends it an activation
    // request. Returns within about 0.6 seconds.
    Role start();
    Role role() const { return m_role; }

    // Process id of the copy holding the lock (for Second), else 0.
    qint64 otherProcessId() const { return m_otherPid; }

    QString lockFilePath() const;
    QString socketPath() const;

signals:
    // Another copy asked this one to come to the front.
    void activationRequested();

private:
    bool listen();
    bool requestActivation(const QDeadlineTimer &deadline);
    void acceptConnections();

    QString m_name;
    QString m_directory;
    Role m_role = Role::Unavailable;
    qint64 m_otherPid = 0;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace kivo
