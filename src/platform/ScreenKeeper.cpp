#include "ScreenKeeper.h"

#include "Log.h"
#include "PlatformLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>

#include <xcb/dpms.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace kivo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
// A screen saver service that does not answer must not hold up the main thread
// for D-Bus's default 25 s, nor the quit past its three seconds.
constexpr int kInhibitTimeoutMs = 2000;
constexpr int kUnInhibitTimeoutMs = 500;

QDBusMessage callSaver(const QString &method, const QVariantList &args, int timeoutMs)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, method);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, timeoutMs);
}

xcb_connection_t *xConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply> struct Freed
{
    Reply *reply;
    ~Freed() { std::free(reply); }
    Reply *operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

} // namespace

ScreenKeeper::ScreenKeeper(QObject *parent) : QObject(parent) {}

ScreenKeeper::~ScreenKeeper()
{
    release();
}

void ScreenKeeper::keepAwake()
{
    if (m_cookie || m_x)
        return;
    if (!inhibitOverDBus())
        switchOffX();
}

void ScreenKeeper::release()
{
    if (m_cookie) {
        const QDBusMessage reply =
            callSaver(QStringLiteral("UnInhibit"), {*m_cookie}, kUnInhibitTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage)
            logLine(lcPlatform(),
                    QStringLiteral("ScreenKeeper: UnInhibit failed: %1").arg(reply.errorMessage()));
        else
            logLine(lcPlatform(), QStringLiteral("ScreenKeeper: the screen saver may run again"));
        m_cookie.reset();
    }
    restoreX();
}

bool ScreenKeeper::inhibitOverDBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        logLine(lcPlatform(), QStringLiteral("ScreenKeeper: no session bus"));
        return false;
    }
    if (!bus.interface()->isServiceRegistered(kService)) {
        logLine(lcPlatform(),
                QStringLiteral("ScreenKeeper: no %1 on the session bus").arg(kService));
        return false;
    }
    const QDBusMessage reply =
        callSaver(QStringLiteral("Inhibit"),
                  {QStringLiteral("kivo-slideshow"),
                   QStringLiteral("The slideshow station keeps its displays on")},
                  kInhibitTimeoutMs);
    const QVariant cookie = reply.arguments().value(0);
    if (reply.type() != QDBusMessage::ReplyMessage || cookie.typeId() != QMetaType::UInt) {
        logLine(lcPlatform(), QStringLiteral("ScreenKeeper: Inhibit failed: %1")
                                  .arg(reply.type() == QDBusMessage::ErrorMessage
                                           ? reply.errorMessage()
                                           : QStringLiteral("no cookie in the reply")));
        return false;
    }
    m_cookie = cookie.toUInt();
    logLine(lcPlatform(), QStringLiteral("ScreenKeeper: screen saver inhibited over D-Bus"));
    return true;
}

void ScreenKeeper::switchOffX()
{
    xcb_connection_t *c = xConnection();
    if (!c) {
        logLine(lcPlatform(),
                QStringLiteral("ScreenKeeper: not on an X server, screens left as they are"));
        return;
    }
    const Freed<xcb_get_screen_saver_reply_t> saver{
        xcb_get_screen_saver_reply(c, xcb_get_screen_saver(c), nullptr)};
    if (!saver) {
        logLine(lcPlatform(),
                QStringLiteral("ScreenKeeper: cannot read the X screen saver settings"));
        return;
    }
    XSettings before;
    before.timeout = qint16(saver->timeout);
    before.interval = qint16(saver->interval);
    before.preferBlanking = saver->prefer_blanking;
    before.allowExposures = saver->allow_exposures;
    xcb_set_screen_saver(c, 0, before.interval, before.preferBlanking, before.allowExposures);

    const xcb_query_extension_reply_t *dpms = xcb_get_extension_data(c, &xcb_dpms_id);
    before.dpmsPresent = dpms && dpms->present;
    if (before.dpmsPresent) {
        const Freed<xcb_dpms_info_reply_t> info{xcb_dpms_info_reply(c, xcb_dpms_info(c), nullptr)};
        before.dpmsWasOn = info && info->state;
        if (before.dpmsWasOn)
            xcb_dpms_disable(c);
    } else {
        logLine(lcPlatform(), QStringLiteral("ScreenKeeper: the X server has no DPMS extension"));
    }
    xcb_flush(c);
    m_x = before;
    logLine(lcPlatform(), QStringLiteral("ScreenKeeper: X screen saver off (was %1 s)%2")
                              .arg(before.timeout)
                              .arg(before.dpmsWasOn ? QStringLiteral(", DPMS off") : QString()));
}

void ScreenKeeper::restoreX()
{
    if (!m_x)
        return;
    const XSettings before = *m_x;
    m_x.reset();
    xcb_connection_t *c = xConnection();
    if (!c)
        return;
    xcb_set_screen_saver(c, before.timeout, before.interval, before.preferBlanking,
                         before.allowExposures);
    if (before.dpmsWasOn)
        xcb_dpms_enable(c);
    // A round trip: the server has the settings back before the station ends.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    logLine(lcPlatform(), QStringLiteral("ScreenKeeper: X screen saver settings restored"));
}

} // namespace kivo
