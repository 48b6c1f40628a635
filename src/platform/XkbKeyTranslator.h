#pragma once

#include <QString>

#include <cstdint>

struct xcb_connection_t;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace kivo {

// Turns the key codes of one keyboard device into text with the X server's
// keymap of the core keyboard (libxkbcommon-x11). The modifier state (Shift,
// Caps Lock) is kept from that device's own presses and releases only, so
// another keyboard's Shift never changes a scanned character. Reloads the
// keymap when the server says it changed.
class XkbKeyTranslator
{
public:
    XkbKeyTranslator();
    ~XkbKeyTranslator();
    XkbKeyTranslator(const XkbKeyTranslator &) = delete;
    XkbKeyTranslator &operator=(const XkbKeyTranslator &) = delete;

    // Sets up XKB on the connection, asks for its keymap change events and
    // loads the keymap. False (logged) when the server has no usable XKB.
    bool attach(xcb_connection_t *connection);
    // True when event is one of XKB's; a keymap change reloads the keymap.
    bool handleEvent(const void *event);

    enum class Kind
    {
        Text,
        Return,
        None
    };
    struct Key
    {
        Kind kind = Kind::None;
        QString text;
    };
    // A press: Return or keypad Enter, else the text the key types (empty
    // for a modifier). The state is updated after the text is read.
    Key press(std::uint32_t keycode);
    void release(std::uint32_t keycode);
    // Forgets held modifiers (a new device, a new keymap).
    void resetState();

private:
    bool loadKeymap();

    xcb_connection_t *m_connection = nullptr;
    xkb_context *m_context = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
    std::int32_t m_coreKeyboard = -1;
    std::uint8_t m_firstEvent = 0;
};

} // namespace kivo
