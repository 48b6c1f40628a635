#include "ScannerDevice.h"

#include "Log.h"
#include "PlatformLog.h"

#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <cstdlib>
#include <vector>

namespace kivo {

namespace {

// Events handled before the event loop gets its turn back; the rest follow
// in the next turn, so a flood of keys never holds the main thread.
constexpr int kEventsPerTurn = 256;

template <typename T> struct Freed
{
    T *p;
    ~Freed() { std::free(p); }
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

struct Keyboard
{
    int id;
    QString name;
};

// XInput 2.2 announced on the connection: raw events reach every client.
bool hasXInput22(xcb_connection_t *c)
{
    const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_input_id);
    if (!ext || !ext->present)
        return false;
    Freed<xcb_input_xi_query_version_reply_t> version{
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr)};
    return version && (version->major_version > 2 ||
                       (version->major_version == 2 && version->minor_version >= 2));
}

// A floating device (detached with `xinput float`) is a keyboard when it has keys.
bool hasKeys(const xcb_input_xi_device_info_t *info)
{
    for (auto it = xcb_input_xi_device_info_classes_iterator(info); it.rem;
         xcb_input_device_class_next(&it)) {
        if (it.data->type == XCB_INPUT_DEVICE_CLASS_TYPE_KEY)
            return true;
    }
    return false;
}

std::vector<Keyboard> listKeyboards(xcb_connection_t *c)
{
    std::vector<Keyboard> out;
    Freed<xcb_input_xi_query_device_reply_t> reply{xcb_input_xi_query_device_reply(
        c, xcb_input_xi_query_device(c, XCB_INPUT_DEVICE_ALL), nullptr)};
    if (!reply)
        return out;
    for (auto it = xcb_input_xi_query_device_infos_iterator(reply.p); it.rem;
         xcb_input_xi_device_info_next(&it)) {
        const xcb_input_xi_device_info_t *info = it.data;
        if (info->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD ||
            (info->type == XCB_INPUT_DEVICE_TYPE_FLOATING_SLAVE && hasKeys(info)))
            out.push_back({info->deviceid,
                           QString::fromUtf8(xcb_input_xi_device_info_name(info), info->name_len)});
    }
    return out;
}

} // namespace

ScannerDevice::ScannerDevice(QObject *parent) : QObject(parent) {}

ScannerDevice::~ScannerDevice()
{
    close();
}

QStringList ScannerDevice::keyboardNames()
{
    QStringList names;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(c) && hasXInput22(c)) {
        for (const Keyboard &k : listKeyboards(c))
            names << k.name;
    }
    xcb_disconnect(c);
    return names;
}

bool ScannerDevice::open(const QString &pattern)
{
    close();
    m_pattern = pattern;
    if (!connectToServer()) {
        close();
        return false;
    }
    lookForDevice();
    xcb_flush(m_connection);
    QTimer::singleShot(0, this, &ScannerDevice::readEvents); // what the set-up left queued
    return true;
}

bool ScannerDevice::connectToServer()
{
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection)) {
        logLine(lcPlatform(), QStringLiteral("ScannerDevice: cannot connect to the X server"));
        return false;
    }
    if (!hasXInput22(m_connection)) {
        logLine(lcPlatform(), QStringLiteral("ScannerDevice: the X server has no XInput 2.2"));
        return false;
    }
    m_keys = std::make_unique<XkbKeyTranslator>();
    if (!m_keys->attach(m_connection))
        return false;
    m_xinputOpcode = xcb_get_extension_data(m_connection, &xcb_input_id)->major_opcode;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    // Devices coming and going can only be asked for on all devices.
    struct
    {
        xcb_input_event_mask_t head;
        quint32 bits;
    } mask{{XCB_INPUT_DEVICE_ALL, 1}, XCB_INPUT_XI_EVENT_MASK_HIERARCHY};
    xcb_input_xi_select_events(m_connection, m_root, 1, &mask.head);
    m_notifier =
        new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ScannerDevice::readEvents);
    return true;
}

void ScannerDevice::close()
{
    // Possibly called from the notifier's own signal: it goes once that returns.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
    }
    m_notifier = nullptr;
    m_keys.reset();
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_deviceId = 0;
    m_deviceName.clear();
}

void ScannerDevice::selectRawKeys(int device, bool on)
{
    struct
    {
        xcb_input_event_mask_t head;
        quint32 bits;
    } mask{{xcb_input_device_id_t(device), 1},
           on ? quint32(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS |
                        XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE)
              : 0u};
    xcb_input_xi_select_events(m_connection, m_root, 1, &mask.head);
}

void ScannerDevice::lookForDevice()
{
    int id = 0;
    QString name;
    for (const Keyboard &k : listKeyboards(m_connection)) {
        if (k.name.contains(m_pattern, Qt::CaseInsensitive)) {
            id = k.id;
            name = k.name;
            break;
        }
    }
    if (id == m_deviceId)
        return;
    if (m_deviceId)
        selectRawKeys(m_deviceId, false);
    m_deviceId = id;
    m_deviceName = name;
    m_keys->resetState();
    if (id)
        selectRawKeys(id, true);
    xcb_flush(m_connection);
    emit listeningChanged(id != 0, name);
}

void ScannerDevice::readEvents()
{
    for (int n = 0; m_connection && n < kEventsPerTurn; ++n) {
        xcb_generic_event_t *event = xcb_poll_for_event(m_connection);
        if (!event) {
            if (xcb_connection_has_error(m_connection)) {
                logLine(lcPlatform(), QStringLiteral("ScannerDevice: the X connection is lost"));
                const bool wasListening = isListening();
                close();
                if (wasListening)
                    emit listeningChanged(false, QString());
            }
            return;
        }
        handleEvent(event);
        std::free(event);
    }
    if (m_connection)
        QTimer::singleShot(0, this, &ScannerDevice::readEvents);
}

void ScannerDevice::handleEvent(const void *event)
{
    const auto *generic = static_cast<const xcb_ge_generic_event_t *>(event);
    if ((generic->response_type & 0x7f) != XCB_GE_GENERIC) {
        m_keys->handleEvent(event);
        return;
    }
    if (generic->extension != m_xinputOpcode)
        return;
    if (generic->event_type == XCB_INPUT_HIERARCHY) {
        lookForDevice();
        return;
    }
    const auto *raw = static_cast<const xcb_input_raw_key_press_event_t *>(event);
    if (raw->deviceid != m_deviceId)
        return;
    if (generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
        m_keys->release(raw->detail);
    } else if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS) {
        const XkbKeyTranslator::Key key = m_keys->press(raw->detail);
        if (key.kind == XkbKeyTranslator::Kind::Return)
            emit returnPressed(raw->time);
        else if (key.kind == XkbKeyTranslator::Kind::Text)
            emit keyText(key.text, raw->time);
    }
}

} // namespace kivo
