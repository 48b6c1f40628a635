#include "DistributedNotificationCenter.h"

#include "DBusPayload.h"
#include "Log.h"
#include "PlatformLog.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QPointer>

namespace kivo {

namespace {

const QString kInterface = QString::fromLatin1(DistributedNotificationCenter::interfaceName);
const QString kMember = QString::fromLatin1(DistributedNotificationCenter::memberName);

// Untrusted text for a log line: bounded, without control characters.
QString printable(const QString &text)
{
    QString out = text.left(80);
    for (QChar &c : out) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u'?';
    }
    return text.size() > out.size() ? out + QStringLiteral("...") : out;
}

} // namespace

DistributedNotificationCenter::DistributedNotificationCenter(QObject *parent) : QObject(parent) {}

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
        logLine(lcPlatform(),
                QStringLiteral("DistributedNotificationCenter->handleMessage...Ignored %1.%2 "
                               "(%3) from %4: %5")
                    .arg(kInterface, kMember, printable(signature), sender, why));
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
        ignore(QStringLiteral("%1: %2").arg(printable(name), payload.error));
        return;
    }
    if (!payload.dropped.isEmpty()) {
        QStringList keys;
        for (const QString &key : payload.dropped.mid(0, 10))
            keys << printable(key);
        logLine(lcPlatform(),
                QStringLiteral("DistributedNotificationCenter->handleMessage...%1 from %2: left "
                               "out values of unsupported type for %3")
                    .arg(printable(name), sender, keys.join(QStringLiteral(", "))));
    }
    deliver(name, *payload.map, sender);
}

} // namespace kivo

#include "moc_DistributedNotificationCenter.cpp"
