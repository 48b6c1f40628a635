#include "DistributedNotificationCenter.h"

#include "DBusPayload.h"
#include "Log.h"
#include "PlatformLog.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QPointer>

#include <algorithm>

namespace kivo {

namespace {

const QString kInterface = QString::fromLatin1(DistributedNotificationCenter::interfaceName);
const QString kMember = QString::fromLatin1(DistributedNotificationCenter::memberName);

} // namespace

DistributedNotificationCenter::DistributedNotificationCenter(QObject *parent) : QObject(parent)
{
    m_logWindow.setSingleShot(true);
    m_logWindow.setInterval(logWindowMs);
    connect(&m_logWindow, &QTimer::timeout, this, &DistributedNotificationCenter::endLogWindow);
}

DistributedNotificationCenter::~DistributedNotificationCenter()
{
    disconnectFromBus();
}

DistributedNotificationCenter &DistributedNotificationCenter::defaultCenter()
{
    Q_ASSERT(QCoreApplication::instance());
    // Owned by the application object; a new application object gets a new centre.
    static QPointer<DistributedNotificationCenter> center;
    if (!center)
        center = new DistributedNotificationCenter(QCoreApplication::instance());
    return *center;
}

bool DistributedNotificationCenter::connectToSessionBus()
{
    if (m_connected)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        logLine(lcPlatform(),
                QStringLiteral("DistributedNotificationCenter->connectToSessionBus...No D-Bus "
                               "session bus, desktop notifications are not received: %1")
                    .arg(bus.lastError().message()));
        return false;
    }
    // A slot taking only the message receives every signature; handleMessage
    // checks it.
    if (!bus.connect(QString(), QString(), kInterface, kMember, this,
                     SLOT(handleMessage(QDBusMessage)))) {
        logLine(lcPlatform(),
                QStringLiteral("DistributedNotificationCenter->connectToSessionBus...Cannot "
                               "listen for %1.%2: %3")
                    .arg(kInterface, kMember, bus.lastError().message()));
        return false;
    }
    m_bus = bus;
    m_connected = true;
    logLine(lcPlatform(),
            QStringLiteral("DistributedNotificationCenter->connectToSessionBus...Listening for "
                           "%1.%2 on %3")
                .arg(kInterface, kMember, bus.baseService()));
    return true;
}

void DistributedNotificationCenter::disconnectFromBus()
{
    if (!m_connected)
        return;
    m_bus.disconnect(QString(), QString(), kInterface, kMember, this,
                     SLOT(handleMessage(QDBusMessage)));
    m_connected = false;
}

ObserverToken DistributedNotificationCenter::addObserver(const QString &name,
                                                         const QObject *context,
                                                         NotificationCenter::Handler handler)
{
    return m_center.addObserver(name, context, std::move(handler));
}

void DistributedNotificationCenter::deliver(const QString &name, const QVariantMap &userInfo,
                                            const QString &sender)
{
    m_center.post(Notification{name, sender, userInfo});
}

void DistributedNotificationCenter::handleMessage(const QDBusMessage &message)
{
    const QString sender = message.service();
    const QString signature = message.signature();
    const auto ignore = [&](const QString &why) {
        logLimited(QStringLiteral("DistributedNotificationCenter->handleMessage...Ignored %1.%2 "
                                  "(%3) from %4: %5")
                       .arg(kInterface, kMember, logSafe(signature), sender, why));
    };
    if (message.type() != QDBusMessage::SignalMessage || message.interface() != kInterface ||
        message.member() != kMember)
        return;
    if (signature != QLatin1String("sa{sv}") && signature != QLatin1String("sa{ss}")) {
        ignore(QStringLiteral("wrong arguments"));
        return;
    }
    const QVariantList args = message.arguments();
    const QString name = args.value(0).toString();
    if (name.isEmpty() || name.size() > maxNameLength) {
        ignore(QStringLiteral("name empty or longer than %1").arg(maxNameLength));
        return;
    }
    const DBusPayloadResult payload =
        plainDBusDictionary(args.value(1), DBusPayloadLimits{maxDepth, maxElements, maxBytes});
    if (!payload.map) {
        ignore(QStringLiteral("%1: %2").arg(logSafe(name), payload.error));
        return;
    }
    if (!payload.dropped.isEmpty()) {
        QStringList keys;
        for (const QString &key : payload.dropped.mid(0, 10))
            keys << logSafe(key, 40);
        logLimited(QStringLiteral("DistributedNotificationCenter->handleMessage...%1 from %2: left "
                                  "out values of unsupported type for %3")
                       .arg(logSafe(name), sender, keys.join(QStringLiteral(", "))));
    }
    enqueue(Waiting{name, *payload.map, sender});
}

void DistributedNotificationCenter::enqueue(Waiting notification)
{
    const auto sameName = [&](const Waiting &w) { return w.name == notification.name; };
    const auto waitingOfName = std::count_if(m_waiting.begin(), m_waiting.end(), sameName);
    if (waitingOfName >= maxWaitingPerName || qsizetype(m_waiting.size()) >= maxWaiting) {
        const auto oldest = waitingOfName >= maxWaitingPerName
                                ? std::find_if(m_waiting.begin(), m_waiting.end(), sameName)
                                : m_waiting.begin();
        logLimited(QStringLiteral("DistributedNotificationCenter->handleMessage...Dropped %1 "
                                  "from %2: more than %3 notifications waiting")
                       .arg(logSafe(oldest->name), oldest->sender)
                       .arg(waitingOfName >= maxWaitingPerName ? maxWaitingPerName : maxWaiting));
        m_waiting.erase(oldest);
    }
    m_waiting.push_back(std::move(notification));
    // Posted behind what the bus has already queued: a burst is taken in
    // (and trimmed) before any of it is handed out.
    if (!m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &DistributedNotificationCenter::deliverWaiting,
                                  Qt::QueuedConnection);
    }
}

void DistributedNotificationCenter::deliverWaiting()
{
    m_deliveryPosted = false;
    for (int i = 0; i < deliveriesPerTurn && !m_waiting.empty(); ++i) {
        const Waiting next = std::move(m_waiting.front());
        m_waiting.pop_front();
        deliver(next.name, next.userInfo, next.sender);
    }
    if (!m_waiting.empty() && !m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &DistributedNotificationCenter::deliverWaiting,
                                  Qt::QueuedConnection);
    }
}

void DistributedNotificationCenter::logLimited(const QString &text)
{
    if (!m_logWindow.isActive()) {
        m_logWindow.start();
        m_linesInWindow = 0;
    }
    if (m_linesInWindow++ < logBurst)
        logLine(lcPlatform(), text);
    else
        ++m_linesLeftOut;
}

void DistributedNotificationCenter::endLogWindow()
{
    if (m_linesLeftOut > 0)
        logLine(lcPlatform(),
                QStringLiteral("DistributedNotificationCenter->handleMessage...%1 more lines about "
                               "ignored or dropped notifications left out in %2 s")
                    .arg(m_linesLeftOut)
                    .arg(logWindowMs / 1000));
    m_linesLeftOut = 0;
}

} // namespace kivo

#include "moc_DistributedNotificationCenter.cpp"
