#pragma once

#include "NotificationCenter.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <deque>

class QDBusMessage;

namespace kivo {

// Receives desktop-wide notifications that sibling applications post on the
// D-Bus session bus: the signal org.kivo.DistributedNotification.Post from any
// sender on any object path, with the arguments (s name, a{sv} userInfo) or
// (s name, a{ss} userInfo). The station never posts one.
//
// Notifications arrive on the thread this object lives in (the main thread);
// observers run on their context's thread (NotificationCenter), in
// registration order; names compare exactly. The payload is untrusted: other
// signatures, oversized payloads and values that are not strings, numbers,
// booleans, byte arrays, lists or string-keyed maps are dropped and logged.
// The notification's object is the sender's unique bus name.
//
// A flood from the bus queues no unbounded work: what arrives waits in one
// queue (at most maxWaitingPerName of one name, the oldest of that name giving
// way, and maxWaiting in all), and at most deliveriesPerTurn are handed to the
// observers per event-loop turn. Lines about refused and dropped
// notifications are bounded too: logBurst per logWindowMs, then a count.
class DistributedNotificationCenter : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *interfaceName = "org.kivo.DistributedNotification";
    static constexpr const char *memberName = "Post";

    // Limits on what one notification may carry.
    static constexpr int maxNameLength = 256;
    static constexpr int maxDepth = 8;             // nested lists and maps
    static constexpr int maxElements = 4096;       // values at every level together
    static constexpr qsizetype maxBytes = 1 << 20; // string and byte-array data together

    // Limits on what a flood may queue: the newest of each name are kept.
    static constexpr int maxWaitingPerName = 16;
    static constexpr int maxWaiting = 64;
    static constexpr int deliveriesPerTurn = 16;
    static constexpr int logBurst = 10;
    static constexpr int logWindowMs = 5000;

    explicit DistributedNotificationCenter(QObject *parent = nullptr);
    ~DistributedNotificationCenter() override;

    // The process-wide centre, created on first use as a child of the
    // application object (which must exist).
    static DistributedNotificationCenter &defaultCenter();

    // Starts listening on the session bus. Without a session bus it logs so
    // and gives false; the station runs on without desktop notifications.
    bool connectToSessionBus();
    bool isConnected() const { return m_connected; }

    [[nodiscard]] ObserverToken addObserver(const QString &name, const QObject *context,
                                            NotificationCenter::Handler handler);

    // Delivers a notification to the observers as if it had arrived on the
    // bus. Call on this object's thread.
    void deliver(const QString &name, const QVariantMap &userInfo, const QString &sender = {});

private slots:
    void handleMessage(const QDBusMessage &message);

private:
    struct Waiting
    {
        QString name;
        QVariantMap userInfo;
        QString sender;
    };
    void disconnectFromBus();
    void enqueue(Waiting notification);
    void deliverWaiting();
    void logLimited(const QString &text);
    void endLogWindow();

    NotificationCenter m_center;
    QDBusConnection m_bus{QString()};
    bool m_connected = false;
    std::deque<Waiting> m_waiting;
    bool m_deliveryPosted = false;
    QTimer m_logWindow;
    int m_linesInWindow = 0;
    int m_linesLeftOut = 0;
};

} // namespace kivo
