#include "XkbKeyTranslator.h"

#include "Log.h"
#include "PlatformLog.h"

#include <xcb/xcb.h>
// xkb.h names a member "explicit", which C++ reserves.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <array>

namespace kivo {

namespace {
constexpr std::uint16_t kMapParts =
    XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
    XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
    XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
} // namespace

XkbKeyTranslator::XkbKeyTranslator() = default;

XkbKeyTranslator::~XkbKeyTranslator()
{
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool XkbKeyTranslator::attach(xcb_connection_t *connection)
{
    m_connection = connection;
    if (!xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &m_firstEvent, nullptr)) {
        logLine(lcPlatform(), QStringLiteral("XkbKeyTranslator: the X server has no usable XKB"));
        return false;
    }
    m_coreKeyboard = xkb_x11_get_core_keyboard_device_id(connection);
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (m_coreKeyboard < 0 || !m_context || !loadKeymap()) {
        logLine(lcPlatform(), QStringLiteral("XkbKeyTranslator: cannot read the X keymap"));
        return false;
    }
    const std::uint16_t events =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    xcb_xkb_select_events_details_t details = {};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    xcb_xkb_select_events_aux(connection, xcb_xkb_device_spec_t(m_coreKeyboard), events, 0, 0,
                              kMapParts, kMapParts, &details);
    return true;
}

bool XkbKeyTranslator::loadKeymap()
{
    xkb_keymap *keymap = xkb_x11_keymap_new_from_device(m_context, m_connection, m_coreKeyboard,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    resetState();
    return m_state != nullptr;
}

void XkbKeyTranslator::resetState()
{
    xkb_state_unref(m_state);
    m_state = m_keymap ? xkb_state_new(m_keymap) : nullptr;
}

bool XkbKeyTranslator::handleEvent(const void *event)
{
    const auto *generic = static_cast<const xcb_generic_event_t *>(event);
    if (!m_context || (generic->response_type & 0x7f) != m_firstEvent)
        return false;
    // The XKB event's own type is the second byte.
    const std::uint8_t type = generic->pad0;
    if (type == XCB_XKB_NEW_KEYBOARD_NOTIFY || type == XCB_XKB_MAP_NOTIFY) {
        if (!loadKeymap())
            logLine(lcPlatform(),
                    QStringLiteral("XkbKeyTranslator: cannot read the changed X keymap"));
    }
    return true;
}

XkbKeyTranslator::Key XkbKeyTranslator::press(std::uint32_t keycode)
{
    if (!m_state)
        return {};
    Key key;
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_state, keycode);
    if (sym == XKB_KEY_Return || sym == XKB_KEY_KP_Enter) {
        key.kind = Kind::Return;
    } else {
        std::array<char, 64> utf8{};
        const int size = xkb_state_key_get_utf8(m_state, keycode, utf8.data(), utf8.size());
        if (size > 0 && size < int(utf8.size())) {
            key.kind = Kind::Text;
            key.text = QString::fromUtf8(utf8.data(), size);
        }
    }
    xkb_state_update_key(m_state, keycode, XKB_KEY_DOWN);
    return key;
}

void XkbKeyTranslator::release(std::uint32_t keycode)
{
    if (m_state)
        xkb_state_update_key(m_state, keycode, XKB_KEY_UP);
}

} // namespace kivo
