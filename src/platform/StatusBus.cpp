#include "StatusBus.h"

#include "Log.h"
#include "PlatformLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

#include <utility>

namespace kivo {

StatusBus::StatusBus(Provider provider, QObject *parent)
    : QObject(parent), m_provider(std::move(provider))
{
    m_gap.setSingleShot(true);
    m_gap.setInterval(kSignalGapMs);
    connect(&m_gap, &QTimer::timeout, this, [this] {
        if (std::exchange(m_pending, false))
            sendNow();
    });
}

StatusBus::~StatusBus()
{
    stop();
}

bool StatusBus::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        logLine(lcPlatform(), QStringLiteral("StatusBus: no session bus, no status on the bus"));
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(kPath), this,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals)) {
        logLine(lcPlatform(), QStringLiteral("StatusBus: cannot export %1").arg(kPath));
        return false;
    }
    m_registered = true;
    if (!bus.registerService(QString::fromLatin1(kService))) {
        logLine(lcPlatform(), QStringLiteral("StatusBus: cannot own %1: %2")
                                  .arg(kService, bus.lastError().message()));
        return false;
    }
    logLine(lcPlatform(),
            QStringLiteral("StatusBus: status on the session bus as %1 %2").arg(kService, kPath));
    return true;
}

void StatusBus::stop()
{
    if (!std::exchange(m_registered, false))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kPath));
    bus.unregisterService(QString::fromLatin1(kService));
}

void StatusBus::announce()
{
    if (!m_registered)
        return;
    if (m_gap.isActive()) {
        m_pending = true;
        return;
    }
    sendNow();
}

void StatusBus::sendNow()
{
    emit StatusChanged(GetStatus());
    m_gap.start();
}

QString StatusBus::GetStatus() const
{
    return m_provider ? m_provider() : QStringLiteral("{}");
}

StatusBus::Reply StatusBus::ask(int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {Outcome::NotRunning, QStringLiteral("no session bus")};
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
        QStringLiteral("GetStatus"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, timeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty())
        return {Outcome::Answered, answer.arguments().constFirst().toString()};
    const QString error = answer.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return {Outcome::NotRunning, answer.errorMessage()};
    return {Outcome::NoAnswer, answer.errorMessage()};
}

} // namespace kivo
